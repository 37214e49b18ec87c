#!/usr/bin/env bash
# make run: starts Tarnwick against the local service emulator (scripts/demo.sh),
# so a first run needs no outside service and no setup. The build for the
# real services is the one in the given build folder.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
echo "run: starting the demo; the build for the real services is $build/src/app/tarnwick"
exec "$here/demo.sh"
