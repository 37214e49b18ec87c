#!/usr/bin/env bash
# Fuzzes settings-file decryption for a bounded time under AddressSanitizer.
# Exits non-zero when the fuzzer finds a crash; the input is kept in the build
# folder as crash-*.
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${FUZZ_BUILD:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARNWICK_FUZZ=ON -DTARNWICK_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_decrypt -j "${JOBS:-2}"

corpus="$build/fuzz-corpus"
mkdir -p "$corpus"
"$build/fuzz/fuzz_decrypt" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
  -max_len=4096 -artifact_prefix="$build/" -print_final_stats=1 "$corpus"
