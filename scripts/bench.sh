#!/usr/bin/env bash
# Builds and runs the benchmarks against the sandbox servers; each prints its own figures.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
prepare
export QT_QPA_PLATFORM=offscreen
for b in bench_logpane bench_listing bench_copy; do
  echo "== $b"
  "$build/bench/$b"
done
