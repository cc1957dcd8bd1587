#!/usr/bin/env bash
# Takes the screenshots of the help pages (Help/images/*.png) from the real program, started under Xvfb in a
# temporary application folder filled with demo data.
#
# Usage: tools/screenshots/take-screenshots.sh [BIN_FOLDER] [OUTPUT_FOLDER]
#   BIN_FOLDER     folder holding vantrel and vantrel-setup (default: build/bin)
#   OUTPUT_FOLDER  where the pictures go (default: Help/images)
#   SHOTS="main rebuild" limits the run to some pictures; PROBE=1 also keeps every intermediate screen in
#   OUTPUT_FOLDER/probe/ (to measure the click positions in shoot.sh after a layout change).
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
BIN=$(cd "${1:-$ROOT/build/bin}" && pwd)
OUT=$(mkdir -p "${2:-$ROOT/Help/images}" && cd "${2:-$ROOT/Help/images}" && pwd)

for tool in xvfb-run xdotool import compare sqlite3; do
  if ! command -v "$tool" >/dev/null; then
    echo "take-screenshots: $tool is missing (scripts/install-deps.sh installs it)" >&2
    exit 1
  fi
done
for program in vantrel vantrel-setup; do
  if [ ! -x "$BIN/$program" ]; then
    echo "take-screenshots: $BIN/$program not found; build the project first" >&2
    exit 1
  fi
done

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
APP="$WORK/Vantrel"
mkdir -p "$APP"
cp "$BIN/vantrel" "$BIN/vantrel-setup" "$APP/"
"$APP/vantrel-setup" "$APP" >/dev/null
sqlite3 "$APP/DB/ZYDB.dat" < "$HERE/demo-data.sql"
cp -r "$ROOT/Help/." "$APP/Help/"

# A template document for the demo category, made by the office program when it is there.
if command -v soffice >/dev/null; then
  mkdir -p "$WORK/doc"
  cp "$HERE/template.html" "$WORK/doc/00010001.html"
  if timeout 120 soffice -env:UserInstallation="file://$WORK/lo-profile" --headless --infilter="HTML (StarWriter)" \
       --convert-to "doc:MS Word 97" --outdir "$WORK/doc" "$WORK/doc/00010001.html" >/dev/null 2>&1; then
    cp "$WORK/doc/00010001.doc" "$APP/DB/ModelFiles/00010001.Doc"
    [ -f "$APP/DB/Empty.Doc" ] || cp "$WORK/doc/00010001.doc" "$APP/DB/Empty.Doc"
  fi
fi

export APP OUT WORK SHOTS="${SHOTS:-}" PROBE="${PROBE:-}"
export LANG=zh_CN.UTF-8 LC_ALL=C.UTF-8
xvfb-run -a -s "-screen 0 1280x800x24" "$HERE/shoot.sh"
