#!/usr/bin/env bash
# Sets everything up (packages, build, application folder with the demo) and starts Vantrel.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/install-deps.sh"
# The programs and their libraries only: the tests are built by scripts/test.sh, the benchmarks by scripts/bench.sh.
"$here/scripts/build.sh" "$here/build" -DVANTREL_TESTS=OFF -DVANTREL_BENCHMARKS=OFF
"$here/scripts/setup-app.sh" "$here/build/bin"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat <<MSG
Vantrel is built and set up in $here/build/bin, but this session has no display to show its window.
Start it on a desktop with:   $here/build/bin/vantrel
or under a virtual display:   xvfb-run -a -s "-screen 0 1280x800x24" $here/build/bin/vantrel
MSG
  exit 0
fi
exec "$here/build/bin/vantrel"
