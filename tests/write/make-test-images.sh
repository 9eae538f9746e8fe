#!/usr/bin/env bash
# Makes the ISO images the write tests burn, with xorriso, from generated trees: small.iso (a few
# MB) and large.iso (several hundred MB). Kept between runs; remade only when missing.
set -euo pipefail
out=${1:?usage: make-test-images.sh <folder>}
mkdir -p "$out"

make_iso() {  # name, megabytes of file data, file count
    local name=$1 megabytes=$2 files=$3
    [ -s "$out/$name.iso" ] && return
    local tree="$out/$name.tree"
    rm -rf "$tree"
    mkdir -p "$tree/docs/nested"
    local per=$((megabytes * 1048576 / files))
    for i in $(seq 1 "$files"); do
        # Odd sizes, so files do not end on block boundaries inside the image.
        head -c $((per + i * 7)) /dev/urandom >"$tree/docs/file$i.bin"
    done
    printf 'Quillfire test image %s\n' "$name" >"$tree/README.TXT"
    head -c 1000 /dev/urandom >"$tree/docs/nested/small.bin"
    xorriso -as mkisofs -quiet -R -J -V "QF_${name^^}" -o "$out/$name.iso.part" "$tree" 2>/dev/null
    mv "$out/$name.iso.part" "$out/$name.iso"
    rm -rf "$tree"
}

make_iso small 3 5
make_iso large 300 6
