#!/usr/bin/env bash
# Runs every libFuzzer target for a bounded time under AddressSanitizer, each
# from the seeds kept in fuzz/corpus/<name>/. Exits non-zero when a target
# finds a crash, a leak or a slow input; the input is kept in the build folder
# as crash-*, leak-* or timeout-*.
#   FUZZ_SECONDS  seconds per target (default 20)
#   FUZZ_TARGETS  names to run (default: every fuzz_* program built)
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${FUZZ_BUILD:-build-fuzz}
seconds=${FUZZ_SECONDS:-20}

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARNWICK_FUZZ=ON -DTARNWICK_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzzers -j "${JOBS:-2}"

targets=${FUZZ_TARGETS:-$(find "$build/fuzz" -maxdepth 1 -type f -executable -name 'fuzz_*' -printf '%f\n' | sort)}
[ -n "$targets" ] || { echo "fuzz: no targets built" >&2; exit 1; }
for name in $targets; do
  echo "== fuzz: $name for ${seconds}s"
  work="$build/fuzz-corpus/$name"
  mkdir -p "$work"
  seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
  log="$build/$name.log"
  status=0
  # New inputs go to the work folder; the seeds in the repository stay as they are.
  "$build/fuzz/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=8192 -artifact_prefix="$build/$name-" -print_final_stats=1 \
    "$work" "${seeds[@]}" >"$log" 2>&1 || status=$?
  grep -E '^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb)' "$log" || true
  if [ "$status" -ne 0 ]; then
    tail -40 "$log" >&2
    echo "fuzz: $name failed with status $status (inputs: $build/$name-*)" >&2
    exit 1
  fi
done
echo "fuzz: every target ran clean"
