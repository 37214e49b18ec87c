#!/bin/sh
# Runs every benchmark program in a build's bench folder, one after the
# other; the folders CMake leaves beside them (bench_*_autogen) are skipped.
# Ends with the status of the first program that failed, 0 when all ran.
set -u
dir=${1:?usage: run-benchmarks.sh <build>/bench [benchmark options]}
shift
ran=0
for b in "$dir"/bench_*; do
    [ -f "$b" ] && [ -x "$b" ] || continue
    echo "== $b"
    "$b" "$@" || { status=$?; echo "$b failed with status $status" >&2; exit "$status"; }
    ran=$((ran + 1))
done
if [ "$ran" -eq 0 ]; then
    echo "no benchmark programs in $dir" >&2
    exit 1
fi
