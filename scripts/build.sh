#!/usr/bin/env bash
# Configures and builds into build/ (or $TABULINK_BUILD); further arguments go to CMake's configure step.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TABULINK_BUILD:-$root/build}
# Ninja where it is installed: it starts the next compile at once and checks what is up to date
# faster. A build folder made by another generator is made again.
generator=()
if command -v ninja >/dev/null; then
  generator=(-G Ninja)
  if [ -f "$build/CMakeCache.txt" ] && ! grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja$' "$build/CMakeCache.txt"; then
    rm -rf "$build"
  fi
fi
cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo} "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
