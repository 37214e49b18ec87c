#!/bin/sh
# The benchmark runner on a bench folder as CMake leaves it: programs next to
# their *_autogen folders. Every program runs, the folders are skipped, and a
# failing program ends the run with its status.
set -u
runner=${1:?usage: test_bench_runner.sh <run-benchmarks.sh>}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$work/bench/bench_a_autogen" "$work/bench/bench_b_autogen" "$work/bench/CMakeFiles"
for name in bench_a bench_b; do
    printf '#!/bin/sh\necho "$0 $*" >> "%s/ran"\n' "$work" > "$work/bench/$name"
    chmod +x "$work/bench/$name"
done

"$runner" "$work/bench" --benchmark_min_time=0 > "$work/out" 2>&1 || fail "status $? with every program passing: $(cat "$work/out")"
[ "$(wc -l < "$work/ran")" -eq 2 ] || fail "expected two programs to run: $(cat "$work/ran")"
grep -q "bench_a --benchmark_min_time=0" "$work/ran" || fail "options not passed on"
grep -q "bench_b" "$work/ran" || fail "bench_b did not run"

printf '#!/bin/sh\nexit 3\n' > "$work/bench/bench_c"
chmod +x "$work/bench/bench_c"
"$runner" "$work/bench" > "$work/out" 2>&1
status=$?
[ "$status" -eq 3 ] || fail "a failing program gave status $status, not 3"

empty=$(mktemp -d)
"$runner" "$empty" > /dev/null 2>&1 && { rmdir "$empty"; fail "an empty folder counted as success"; }
rmdir "$empty"
echo "PASS"
