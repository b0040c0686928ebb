#!/usr/bin/env bash
# Builds and runs the benchmarks against the sandbox servers; each prints its own figures.
# The copy benchmarks run under Xvfb, so painting costs what it costs on a real display.
#   TABULINK_BENCH_ROWS=200000 scripts/bench.sh   (a quicker streaming run than the 2 GB one)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
prepare
for b in bench_logpane bench_listing; do
  echo "== $b"
  QT_QPA_PLATFORM=offscreen "$build/bench/$b"
done
for b in bench_copy bench_stream bench_complete bench_link bench_compare bench_match bench_cli bench_ssh bench_mysql bench_many; do
  echo "== $b (Xvfb)"
  xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb "$build/bench/$b"
done
