#!/usr/bin/env bash
# Builds and runs the benchmarks against the sandbox servers; each prints its own figures.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TABULINK_BUILD:-$root/build}
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
if ! "$root/scripts/sandbox.sh" running; then
  trap '"$root/scripts/sandbox.sh" stop' EXIT
  "$root/scripts/sandbox.sh" start --no-demo
fi
set -a; eval "$("$root/scripts/sandbox.sh" env)"; set +a
export QT_QPA_PLATFORM=offscreen
for b in bench_logpane bench_listing bench_copy; do
  echo "== $b"
  "$build/bench/$b"
done
