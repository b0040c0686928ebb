#!/usr/bin/env bash
# Installs what is missing, builds, and makes the Debian package build/tabulink_<version>_amd64.deb.
# Install it with: sudo apt install ./build/tabulink_*.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TABULINK_BUILD:-$root/build}
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
cmake --build "$build" --target package
ls "$build"/tabulink_*.deb
