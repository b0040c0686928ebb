#!/usr/bin/env bash
# Installs what is missing, builds, starts the sandbox servers and runs every test.
# Servers this script started are stopped again when it ends; ones already running are left alone.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TABULINK_BUILD:-$root/build}

"$root/scripts/deps.sh"
"$root/scripts/build.sh"

if ! "$root/scripts/sandbox.sh" running; then
  trap '"$root/scripts/sandbox.sh" stop' EXIT
  "$root/scripts/sandbox.sh" start --no-demo
fi
set -a
eval "$("$root/scripts/sandbox.sh" env)"
set +a

cd "$build"
ctest --output-on-failure -j"$(nproc)" --timeout 1200
