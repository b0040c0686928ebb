#!/usr/bin/env bash
# Installs what is missing, builds, starts the sandbox servers and runs every test.
# Servers this script started are stopped again when it ends; ones already running are left alone.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
prepare
cd "$build"
ctest --output-on-failure -j"$(nproc)" --timeout 1200
