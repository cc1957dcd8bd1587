#!/usr/bin/env bash
# The package as a user meets it: build it from an already built tree, install it with apt, run the installed
# programs into a temporary home, check the data folder, remove the package and see the data stay.
#   package-test.sh <source folder> <build folder>
set -euo pipefail
src="$1"
build="$2"
skip() { echo "SKIP: $*"; exit 77; }

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  sudo -n true 2>/dev/null || skip "installing a package needs root or password-less sudo"
  SUDO="sudo -n"
fi
if dpkg-query -W -f='${Status}' vantrel 2>/dev/null | grep -q "install ok installed"; then
  skip "a vantrel package is installed on this machine already; the test does not replace it"
fi

work="$(mktemp -d)"
installed=0
cleanup() {
  if [ "$installed" = 1 ]; then
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq vantrel >/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

PACKAGE_JOBS=2 "$src/scripts/package.sh" "$build" "$work"
deb="$(ls "$work"/vantrel_*_amd64.deb)"
version="$(dpkg-deb -f "$deb" Version)"
[ "$(basename "$deb")" = "vantrel_${version}_amd64.deb" ] || fail "package name $(basename "$deb")"
grep -q "^project(Vantrel VERSION $version " "$src/CMakeLists.txt" || fail "version $version is not the project's"

installed=1
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1 \
  || { cat "$work/apt.log"; fail "apt could not install $deb"; }

# No display is needed to ask for the version.
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY vantrel --version)" = "vantrel $version" ] || fail "vantrel --version"
[ "$(vantrel-setup --version)" = "vantrel-setup $version" ] || fail "vantrel-setup --version"
for f in /usr/lib/vantrel/vantrel /usr/lib/vantrel/Trevolan /usr/lib/vantrel/vantrel-demo /usr/share/vantrel/Empty.Doc \
  /usr/share/vantrel/Help/ContractPHelp.htm /usr/share/applications/vantrel.desktop \
  /usr/share/icons/hicolor/48x48/apps/vantrel.png /usr/share/mime/packages/vantrel.xml \
  /usr/share/metainfo/com.example.vantrel.metainfo.xml; do
  [ -e "$f" ] || fail "the package did not install $f"
done

# The first start lays out the data folder in the user's data home, with the demo.
home="$work/home"
mkdir -p "$home"
HOME="$home" XDG_DATA_HOME="" vantrel-setup >"$work/setup.log" || { cat "$work/setup.log"; fail "vantrel-setup"; }
data="$home/.local/share/Vantrel"
for f in DB/ZYDB.dat DB/Empty.Doc DB/ModelFiles DB/ContractFile Bak Help/ContractPHelp.htm Help/images/main.png \
  BasicExcel/房屋租赁合同.xls; do
  [ -e "$data/$f" ] || fail "the data folder lacks $f"
done
[ ! -e /usr/lib/vantrel/DB ] || fail "the installed program wrote into its own folder"
categories() { sqlite3 "$data/DB/ZYDB.dat" "SELECT COUNT(*) FROM TContractClass"; }
[ "$(categories)" -gt 0 ] || fail "no demo category on the first start"

# A later start leaves the user's data alone: his deleted demo does not come back.
sqlite3 "$data/DB/ZYDB.dat" "DELETE FROM TContractClass"
echo "the user's own" >"$data/BasicExcel/房屋租赁合同.xls"
HOME="$home" XDG_DATA_HOME="" vantrel-setup >/dev/null
[ "$(categories)" -eq 0 ] || fail "the second start brought the demo back"
[ "$(cat "$data/BasicExcel/房屋租赁合同.xls")" = "the user's own" ] || fail "the second start replaced a user's file"

# Removing the package leaves the data.
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq vantrel >/dev/null
installed=0
[ ! -e /usr/lib/vantrel/vantrel ] || fail "the program is still there after removal"
[ -f "$data/DB/ZYDB.dat" ] || fail "removing the package took the user's data"
echo "package test passed: $(basename "$deb")"
