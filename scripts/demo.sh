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
#   scripts/demo.sh --prepare    build and fill demo/, start nothing
#
# The demo is branded as the reseller "Demo": its settings file is made with
# tarnwick-brand from scripts/demo-settings.txt (the emulator's address put
# in), its two banners are drawn here with ImageMagick.
#
# Environment of this script (the program itself takes none):
#   TARNWICK_DEMO_PORT  emulator port, default 47811
#   TARNWICK_DEMO_VERSION  version the live-update folder publishes, default 2.01
#                       (the program's own: no update; e.g. 2.02 offers one)
#   JOBS                parallel build jobs, default: number of processors
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
port=${TARNWICK_DEMO_PORT:-47811}
published=${TARNWICK_DEMO_VERSION:-2.01}
jobs=${JOBS:-$(nproc)}
build="$repo/build-demo"
demo="$repo/demo"
base="http://127.0.0.1:$port"

smoke=""
prepare_only=""
case "${1:-}" in
  "") ;;
  --smoke) smoke=${2:?"--smoke needs a number of seconds"} ;;
  --prepare) prepare_only=1 ;;
  *) echo "usage: $0 [--smoke SECONDS | --prepare]" >&2; exit 2 ;;
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

[ -n "$prepare_only" ] || ! listening "$port" || port_taken

# The program takes its service addresses only from the build.
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_BENCH=OFF \
  -DTARNWICK_SUGGEST_BASE="$base/wt" \
  -DTARNWICK_GOOGLE_BASE="$base/google" \
  -DTARNWICK_YAHOO_BASE="$base/yahoo" \
  -DTARNWICK_MSN_BASE="$base/msn" \
  -DTARNWICK_LIVEUPDATE_BASE="$base/liveupdate/tarnwick/" >/dev/null
cmake --build "$build" --target tarnwick tarnwick-sandbox tarnwick-brand tarnwick-updater-standin -j "$jobs"

# The program's folder is where it keeps its temporary page and where the
# save dialog opens first.
mkdir -p "$demo"
cp -f "$build/src/app/tarnwick" "$demo/tarnwick"
# In place of the real updater: records its arguments in updater-args.txt.
cp -f "$build/tools/updater/tarnwick-updater-standin" "$demo/Updater.exe"

# The reseller's files beside the program. The plain settings text stays in
# the build folder; only the encrypted file goes beside the program.
# The program writes the last news item read into dbsettings.dat, so the file
# is made anew only when its text changed (another port, an edited text):
# the next start then announces only newer news, as it would for a user.
sed "s|@BASE@|$base|g" "$repo/scripts/demo-settings.txt" >"$build/demo-settings.txt"
if [ ! -f "$demo/dbsettings.dat" ] || ! cmp -s "$build/demo-settings.txt" "$build/demo-settings.used.txt"; then
  "$build/tools/brand/tarnwick-brand" encrypt "$build/demo-settings.txt" "$demo/dbsettings.dat"
  cp -f "$build/demo-settings.txt" "$build/demo-settings.used.txt"
fi

# Banner 1 is an animated GIF, banner 2 a still PNG, both 468 x 60.
font=()
convert -list font 2>/dev/null | grep -q "Font: DejaVu-Sans-Bold$" && font=(-font DejaVu-Sans-Bold)
convert -size 468x60 -delay 70 \
  \( "xc:#2f3e52" -fill white "${font[@]}" -pointsize 23 -gravity center -annotate +0+0 "Demo finds your keywords" \) \
  \( "xc:#1f7a6d" -fill white "${font[@]}" -pointsize 23 -gravity center -annotate +0+0 "Gather. Count. Export." \) \
  \( "xc:#b5562f" -fill white "${font[@]}" -pointsize 23 -gravity center -annotate +0+0 "Click for the spring offer" \) \
  -loop 0 "gif:$demo/banner1.dat"
convert -size 468x60 "gradient:#e8ecf1-#c9d6e3" -fill "#2f3e52" "${font[@]}" -pointsize 22 \
  -gravity center -annotate +0+0 "Demo Tools: more ways to research" "png:$demo/banner2.dat"

# Whatever the check would warn about shows here, before the window does.
check_status=0
"$build/tools/brand/tarnwick-brand" check "$demo/dbsettings.dat" >"$build/demo-check.txt" || check_status=$?
if [ "$check_status" -ne 0 ]; then
  cat "$build/demo-check.txt" >&2
  die "the demo settings do not pass tarnwick-brand check (status $check_status)"
fi
if [ -n "$prepare_only" ]; then
  say "prepared $demo (settings for the emulator on $base)"
  exit 0
fi

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
"$build/tools/sandbox/tarnwick-sandbox" --port "$port" --version "$published" >"$demo/sandbox.log" 2>&1 &
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
say "the program is branded as \"Demo\" (scripts/demo-settings.txt): welcome page,"
say "     banners, links, Make Money, Help, About and the news button"
say "updates: version $published is published; Updater.exe here is a stand-in that"
say "     writes its arguments to $demo/updater-args.txt"

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
