#!/usr/bin/env bash
# Pictures of both windows on scratch copies of demo tables, written to docs/ (or $1), where the README shows them.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
prepare
cmake --build "$build" --target tabulink_screenshots
# A real X server (Xvfb) draws the windows as a desktop would.
xvfb-run -a -s "-screen 0 1280x1024x24" "$build/tests/tabulink_screenshots" "${1:-$root/docs}"
