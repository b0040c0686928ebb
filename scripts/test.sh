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

sanitized=${TABULINK_SANITIZE_BUILD:-$root/build-sanitize}
# The sanitizer build compiles while the first tests run, at the lowest priority: those tests
# mostly wait for the servers, which keep their share of the cores.
# -O1 and line tables only: what the sanitizers need, built in far less time than a full debug build.
# In a process group of its own, so that the whole build, compilers and all, stops with this script.
sanitizer_log=$(mktemp "${TMPDIR:-/tmp}/tabulink-sanitizer-build.XXXXXX")
TABULINK_BUILD=$sanitized CMAKE_BUILD_TYPE=None setsid nice -n 19 "$root/scripts/build.sh" -DTABULINK_SANITIZE=ON \
  "-DCMAKE_CXX_FLAGS=-O1 -g1" >"$sanitizer_log" 2>&1 &
sanitizer_build=$!
at_exit '[ -z "$sanitizer_build" ] || kill -- -"$sanitizer_build" 2>/dev/null || true; rm -f "$sanitizer_log"' 
(cd "$build" && ctest --output-on-failure -j"$jobs" --timeout 1200)

echo "== The same tests, built with AddressSanitizer and UndefinedBehaviorSanitizer ($sanitized)"
built=0
wait "$sanitizer_build" || built=$?
sanitizer_build= # ended: its number may be another's now
if [ "$built" -ne 0 ]; then
  cat "$sanitizer_log"
  exit 1
fi
tail -n 1 "$sanitizer_log"
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$root/tests/sanitizer/lsan.supp:print_suppressions=0
cd "$sanitized"
ctest --output-on-failure -j"$jobs" --timeout 1800
