#!/usr/bin/env bash
# Lays out the application folder beside the built program (build/bin): database, document folders,
# the blank document, help pages, sample workbooks and, on a fresh database, the demo content.
# An existing database and existing documents are never overwritten.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bin="${1:-$here/build/bin}"

fresh=0
[ -f "$bin/DB/ZYDB.dat" ] || fresh=1
"$bin/vantrel-setup" "$bin"

[ -f "$bin/DB/Empty.Doc" ] || { [ -f "$here/resources/Empty.Doc" ] && cp "$here/resources/Empty.Doc" "$bin/DB/Empty.Doc"; }
if [ -d "$here/Help" ]; then
  mkdir -p "$bin/Help" && cp -r "$here/Help/." "$bin/Help/"
fi
if [ -d "$here/BasicExcel" ]; then
  cp -rn "$here/BasicExcel/." "$bin/BasicExcel/" 2>/dev/null || true
fi
if [ "$fresh" = 1 ] && [ -x "$bin/vantrel-demo" ]; then
  "$bin/vantrel-demo" "$bin"
fi
[ -x "$here/build/src/updater/Trevolan" ] && cp "$here/build/src/updater/Trevolan" "$bin/" 2>/dev/null || true
echo "setup-app: application folder $bin"
