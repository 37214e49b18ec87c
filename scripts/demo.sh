#!/usr/bin/env bash
# Tarnwick against the local service emulator, with nothing to set up: builds
# the program wired to the emulator's addresses (build-demo/), starts the
# emulator, then the program from a folder of its own (demo/), and stops the
# emulator when the program ends. Every outside service (keyword suggestions
# with their security image, the three engines, news, updates) is played on
# 127.0.0.1 only.
#
#   scripts/demo.sh              build if needed, then run until the window closes
#   scripts/demo.sh --smoke N    run for N seconds, then close the program; fails
#                                if it did not come up or ended early (for CI);
#                                leaves a picture of the screen in demo/smoke.png
#
# Environment of this script (the program itself takes none):
#   TARNWICK_DEMO_PORT  emulator port, default 47811
#   JOBS                parallel build jobs, default: number of processors
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
port=${TARNWICK_DEMO_PORT:-47811}
jobs=${JOBS:-$(nproc)}
build="$repo/build-demo"
demo="$repo/demo"
base="http://127.0.0.1:$port"

smoke=""
case "${1:-}" in
  "") ;;
  --smoke) smoke=${2:?"--smoke needs a number of seconds"} ;;
  *) echo "usage: $0 [--smoke SECONDS]" >&2; exit 2 ;;
esac

say() { echo "demo: $*"; }
die() { echo "demo: $*" >&2; exit 1; }

# True when something accepts connections on the port.
listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

port_taken() {
  die "port $port on 127.0.0.1 is already taken, so the emulator cannot start there.
      The demo build talks to that one port only. Stop whatever listens on it,
      or build the demo for another port: TARNWICK_DEMO_PORT=<port> make run"
}

listening "$port" && port_taken

# The program takes its service addresses only from the build.
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_BENCH=OFF \
  -DTARNWICK_SUGGEST_BASE="$base/wt" \
  -DTARNWICK_GOOGLE_BASE="$base/google" \
  -DTARNWICK_YAHOO_BASE="$base/yahoo" \
  -DTARNWICK_MSN_BASE="$base/msn" \
  -DTARNWICK_LIVEUPDATE_BASE="$base/liveupdate/tarnwick/" >/dev/null
cmake --build "$build" --target tarnwick tarnwick-sandbox -j "$jobs"

# The program's folder is where it keeps its temporary page and where the
# save dialog opens first.
mkdir -p "$demo"
cp -f "$build/src/app/tarnwick" "$demo/tarnwick"

sandbox_pid=""
program_pid=""
cleanup() {
  if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then
    kill "$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
  fi
  if [ -n "$sandbox_pid" ] && kill -0 "$sandbox_pid" 2>/dev/null; then
    kill "$sandbox_pid" 2>/dev/null || true
    wait "$sandbox_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The port may have been taken during the build.
listening "$port" && port_taken
"$build/tools/sandbox/tarnwick-sandbox" --port "$port" >"$demo/sandbox.log" 2>&1 &
sandbox_pid=$!
for _ in $(seq 100); do
  listening "$port" && break
  kill -0 "$sandbox_pid" 2>/dev/null || break
  sleep 0.1
done
if ! kill -0 "$sandbox_pid" 2>/dev/null || ! listening "$port"; then
  cat "$demo/sandbox.log" >&2
  die "the emulator did not start on port $port"
fi
# The addresses built in must be the ones the emulator serves.
for service in google yahoo msn; do
  grep -q "^$service *$base/$service\$" "$demo/sandbox.log" ||
    die "the emulator serves $service elsewhere than $base/$service (see $demo/sandbox.log)"
done

say "emulator on $base (log: $demo/sandbox.log)"
say "program folder $demo; your CSV files go there unless you choose another folder"
say "try: Main Keyword (golf), Gather Keywords (answer the security image),"
say "     Gather Data, Save Results. Close the window to stop."

cd "$demo"
if [ -z "$smoke" ]; then
  status=0
  ./tarnwick || status=$?
  exit "$status"
fi

./tarnwick &
program_pid=$!
sleep "$smoke"
kill -0 "$program_pid" 2>/dev/null || die "the program ended within $smoke seconds"
kill -0 "$sandbox_pid" 2>/dev/null || die "the emulator ended within $smoke seconds"
if [ -n "${DISPLAY:-}" ] && command -v import >/dev/null; then
  import -window root "$demo/smoke.png" && say "screen: $demo/smoke.png"
fi
say "smoke run ok: program and emulator were still running after $smoke seconds"
