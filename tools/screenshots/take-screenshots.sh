#!/usr/bin/env bash
# Takes the pictures of the help pages (Help/images/*.png) from the real windows: lays out a fresh application
# folder with the demo content in a temporary folder and runs vantrel-shots there under Xvfb. The office program
# (LibreOffice) is started visibly on that display for the contract document and template editor pictures.
#
# Usage: tools/screenshots/take-screenshots.sh [BIN_FOLDER] [OUTPUT_FOLDER] [picture name...]
#   BIN_FOLDER     folder holding vantrel-shots, vantrel-setup and vantrel-demo (default: build/bin)
#   OUTPUT_FOLDER  where the pictures go (default: Help/images)
#   picture names  only these (main, menu-samples, model-template, entry, document, ...; see vantrel-shots)
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
BIN=$(cd "${1:-$ROOT/build/bin}" && pwd)
OUT=$(mkdir -p "${2:-$ROOT/Help/images}" && cd "${2:-$ROOT/Help/images}" && pwd)
shift $(( $# < 2 ? $# : 2 ))

if ! command -v xvfb-run >/dev/null; then
  echo "take-screenshots: xvfb-run is missing (scripts/install-deps.sh installs it)" >&2
  exit 1
fi
for program in vantrel-shots vantrel-setup vantrel-demo; do
  if [ ! -x "$BIN/$program" ]; then
    echo "take-screenshots: $BIN/$program not found; build the project first" >&2
    exit 1
  fi
done

WORK=$(mktemp -d /tmp/vantrel-shots.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
# The file dialogs show this path: a home folder with the program in it, as on a user's machine.
export HOME="$WORK/home"
APP="$HOME/Vantrel"
mkdir -p "$APP"
"$BIN/vantrel-setup" "$APP" >/dev/null
[ -f "$APP/DB/Empty.Doc" ] || cp "$ROOT/resources/Empty.Doc" "$APP/DB/Empty.Doc"
mkdir -p "$APP/BasicExcel" "$APP/Help"
cp -r "$ROOT/BasicExcel/." "$APP/BasicExcel/"
cp -r "$ROOT/Help/." "$APP/Help/"
"$BIN/vantrel-demo" "$APP" >/dev/null

unset VANTREL_OFFICE_HEADLESS
# A Chinese desktop: Qt takes dates, fonts and its own dialogs' texts from the locale variables.
env LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 xvfb-run -a -s "-screen 0 1280x800x24" "$BIN/vantrel-shots" "$APP" "$OUT" "$@"
