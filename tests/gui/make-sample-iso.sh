#!/usr/bin/env bash
# Makes a small ISO image with xorriso from a generated tree (a few MB of odd-sized random files
# in nested folders). Usage: make-sample-iso.sh <image.iso> [--keep]
# With --keep an image that exists already is left as it is.
set -euo pipefail
image=${1:?usage: make-sample-iso.sh <image.iso> [--keep]}
[ "${2:-}" = "--keep" ] && [ -s "$image" ] && exit 0
mkdir -p "$(dirname "$image")"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/docs/nested" "$tree/pictures"
for i in 1 2 3 4; do
    # Odd sizes, so files do not end on block boundaries inside the image.
    head -c $((700000 + i * 1234)) /dev/urandom >"$tree/docs/file$i.bin"
done
head -c 300001 /dev/urandom >"$tree/pictures/sample.raw"
head -c 1000 /dev/urandom >"$tree/docs/nested/small.bin"
printf 'Quillfire sample image\n' >"$tree/README.TXT"
xorriso -as mkisofs -quiet -R -J -V QF_SAMPLE -o "$image.part" "$tree" 2>/dev/null
mv "$image.part" "$image"
