#!/usr/bin/env bash
# Builds the Debian package and the portable archive, installs the package on
# this machine and checks it: the menu entry and the package pass their
# checkers without errors, the installed tarnwick-brand encrypts a settings
# text and checks it, and the installed program finds every library it needs.
# The package is built with the emulator's addresses (as the demo), never the
# real services', and removed again at the end.
#   PACKAGE_BUILD  build folder (default build-package)
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${PACKAGE_BUILD:-build-package}
base="http://127.0.0.1:${TARNWICK_DEMO_PORT:-47811}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
say() { echo "package: $*"; }
die() { echo "package: $*" >&2; exit 1; }

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_BENCH=OFF \
  -DTARNWICK_SUGGEST_BASE="$base/wt" \
  -DTARNWICK_GOOGLE_BASE="$base/google" \
  -DTARNWICK_YAHOO_BASE="$base/yahoo" \
  -DTARNWICK_MSN_BASE="$base/msn" \
  -DTARNWICK_LIVEUPDATE_BASE="$base/liveupdate/tarnwick/" >/dev/null
cmake --build "$build" --target tarnwick tarnwick-brand -j "${JOBS:-2}"
rm -f "$build"/tarnwick_*.deb "$build"/tarnwick-*.tar.gz
(cd "$build" && cpack -G "DEB;TGZ" >cpack.log) || { cat "$build/cpack.log" >&2; die "cpack failed"; }

deb=$(ls "$build"/tarnwick_*.deb)
tgz=$(ls "$build"/tarnwick-*.tar.gz)
say "built $(basename "$deb") ($(du -k "$deb" | cut -f1) KiB) and $(basename "$tgz") ($(du -k "$tgz" | cut -f1) KiB)"
dpkg-deb --field "$deb" Package Version Installed-Size Depends

# The archive is the program folder and nothing else.
contents=$(tar -tzf "$tgz" | grep -v '/$' | sort)
expected=$(printf '%s\n' tarnwick-2.01-linux/README-resellers.txt \
  tarnwick-2.01-linux/tarnwick tarnwick-2.01-linux/tarnwick-brand | sort)
[ "$contents" = "$expected" ] || die "unexpected archive contents:
$contents"

$sudo apt-get install -y -qq "./$deb" >/dev/null
trap '$sudo apt-get purge -y -qq tarnwick >/dev/null || true' EXIT

for f in /usr/lib/tarnwick/tarnwick /usr/lib/tarnwick/tarnwick-brand \
  /usr/lib/tarnwick/README-resellers.txt /usr/share/applications/tarnwick.desktop \
  /usr/share/icons/hicolor/256x256/apps/tarnwick.png /usr/share/icons/hicolor/scalable/apps/tarnwick.svg; do
  [ -f "$f" ] || die "$f is not installed"
done
[ "$(readlink -f /usr/bin/tarnwick)" = /usr/lib/tarnwick/tarnwick ] || die "/usr/bin/tarnwick does not lead to the program folder"
[ "$(command -v tarnwick-brand)" = /usr/bin/tarnwick-brand ] || die "tarnwick-brand is not on the PATH"

desktop-file-validate /usr/share/applications/tarnwick.desktop
say "desktop-file-validate: no errors"

# Errors fail the step; warnings are shown.
lintian --fail-on error --tag-display-limit 0 "$deb" 2>&1 | tee "$build/lintian.log"
say "lintian: no errors ($(grep -c '^W: ' "$build/lintian.log" || true) warnings)"

work=$(mktemp -d)
printf '%s\r\n' '<%%ApplicationName%%>Packaged Tarnwick<%%/ApplicationName%%>' >"$work/settings.txt"
tarnwick-brand encrypt "$work/settings.txt" "$work/dbsettings.dat"
tarnwick-brand check "$work/dbsettings.dat" >/dev/null
tarnwick-brand decrypt "$work/dbsettings.dat" "$work/back.txt"
cmp "$work/settings.txt" "$work/back.txt" || die "tarnwick-brand did not give back the settings text"
rm -rf "$work"
say "tarnwick-brand: encrypt, check and decrypt agree"

missing=$(ldd /usr/lib/tarnwick/tarnwick /usr/lib/tarnwick/tarnwick-brand | grep 'not found' || true)
[ -z "$missing" ] || die "libraries not found:
$missing"
say "ldd: every library found"
say "ok"
