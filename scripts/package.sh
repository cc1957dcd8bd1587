#!/usr/bin/env bash
# Builds the Debian package vantrel_<version>_amd64.deb and checks it with lintian.
#   scripts/package.sh [build folder] [output folder]
# The build folder (default: build, the one run.sh uses) is configured when it is new; only the packaged programs
# are built in it. The package lands in the output folder (default: the repository).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$here/build}")"
out="$(realpath -m "${2:-$here}")"

"$here/scripts/install-deps.sh"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" -DVANTREL_TESTS=OFF \
    -DVANTREL_BENCHMARKS=OFF >/dev/null
else
  cmake "$build" >/dev/null
fi
cmake --build "$build" -j"${PACKAGE_JOBS:-$(nproc)}" --target package-programs

mkdir -p "$out"
stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
# Files go into the package with the permissions they are installed with.
umask 022
(cd "$build" && cpack -G DEB -B "$stage" >"$stage/cpack.log") || { cat "$stage/cpack.log" >&2; exit 1; }
deb="$(find "$stage" -maxdepth 1 -name 'vantrel_*.deb' | head -n1)"
[ -n "$deb" ] || { echo "package: cpack made no package" >&2; exit 1; }
mv -f "$deb" "$out/"
deb="$out/$(basename "$deb")"

# Errors fail the build; warnings are shown.
lintian --fail-on error "$deb"
echo "package: $deb"
