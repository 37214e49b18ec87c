#!/usr/bin/env bash
# The README's run command, unattended: the demo build starts with its
# emulator under Xvfb and is still running after a few seconds.
set -euo pipefail
xvfb-run -a -s "-screen 0 1024x768x24" scripts/demo.sh --smoke 5
