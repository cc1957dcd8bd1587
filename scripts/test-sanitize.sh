#!/usr/bin/env bash
# Builds Vantrel with AddressSanitizer and UndefinedBehaviorSanitizer and runs the whole test suite.
# Any report fails the run. Leaks inside the office's own libraries (loaded into our process for the UNO
# bridge) and in the system's font and graphics libraries are not ours and are suppressed.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${SANITIZE_BUILD_DIR:-$here/build-asan}"
"$here/scripts/install-deps.sh"
BUILD_TYPE=Debug "$here/scripts/build.sh" "$build" -DVANTREL_SANITIZE=ON -DVANTREL_WERROR=ON -DVANTREL_TESTS=ON \
  -DVANTREL_BENCHMARKS=OFF
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$here/scripts/lsan.supp:print_suppressions=0"
ctest --test-dir "$build" --output-on-failure -j2 "$@"
