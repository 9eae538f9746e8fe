#!/bin/sh
# run-fuzzer.sh FUZZER CORPUS [libFuzzer options]: a bounded run from the seed corpus, which is
# only read; new units go to a scratch folder libFuzzer is given first, removed afterwards.
fuzzer=$1
corpus=$2
shift 2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/qf-fuzz.XXXXXX") || exit 1
trap 'rm -rf "$scratch"' EXIT INT TERM
if [ -d "$corpus" ]; then
    "$fuzzer" "$@" "$scratch" "$corpus"
else
    "$fuzzer" "$@" "$scratch"
fi
