#!/usr/bin/env bash
# Starts Tarnwick from a build folder.
set -euo pipefail
build=${1:-build}
exec "$build/src/app/tarnwick"
