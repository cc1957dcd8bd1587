#!/usr/bin/env bash
# Builds Vantrel with warnings as errors and runs the whole test suite through ctest
# (the office tests start a headless LibreOffice of their own).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${TEST_BUILD_DIR:-$here/build-test}"
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh" "$build" -DVANTREL_WERROR=ON -DVANTREL_TESTS=ON -DVANTREL_BENCHMARKS=OFF
ctest --test-dir "$build" --output-on-failure -j2 "$@"
