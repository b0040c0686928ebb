#!/usr/bin/env bash
# Installs what is missing, builds, starts the sandbox servers and runs every test; then builds
# the same tests with AddressSanitizer and UndefinedBehaviorSanitizer (build-sanitize/) and runs
# them again there: a use after free, an overflow or undefined behaviour fails the run.
# Servers this script started are stopped again when it ends; ones already running are left alone.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
prepare
# Most of a test's time is spent waiting for a server: two tests a core keep both cores busy.
jobs=$(($(nproc) * 2))

(cd "$build" && ctest --output-on-failure -j"$jobs" --timeout 1200)

sanitized=${TABULINK_SANITIZE_BUILD:-$root/build-sanitize}
echo "== The same tests, built with AddressSanitizer and UndefinedBehaviorSanitizer ($sanitized)"
# -O1 and line tables only: what the sanitizers need, built in far less time than a full debug build.
# (Built while the first tests ran, it saved nothing: those tests keep both cores busier than it seems.)
TABULINK_BUILD=$sanitized CMAKE_BUILD_TYPE=None "$root/scripts/build.sh" -DTABULINK_SANITIZE=ON \
  "-DCMAKE_CXX_FLAGS=-O1 -g1"
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$root/tests/sanitizer/lsan.supp:print_suppressions=0
cd "$sanitized"
ctest --output-on-failure -j"$jobs" --timeout 1800
