#!/bin/sh
# Runs clang-tidy with the repository's .clang-tidy over the program, its tests, tools and benchmarks, and fails on
# any finding. It reads the compile commands of a configured and built tree (the generated headers must exist):
#
#   ./scripts/tidy.sh                 # build-test/, two jobs
#   TIDY_JOBS=8 ./scripts/tidy.sh build
#   ./scripts/tidy.sh build-test src/store    # only the files below the given folders
#
# Exit status: 0 nothing found, 1 findings (listed, then counted per check), 2 no compile commands.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build-test}
case $build in /*) ;; *) build=$root/$build ;; esac
[ $# -gt 0 ] && shift
if [ ! -f "$build/compile_commands.json" ]; then
    echo "tidy.sh: $build/compile_commands.json is missing; configure and build that tree first" >&2
    exit 2
fi
if [ $# -gt 0 ]; then
    folders=$(printf '%s|' "$@" | sed 's/|$//; s#/$##')
else
    folders='src|tests|tools|bench'
fi
tidy=$(command -v run-clang-tidy || command -v run-clang-tidy-14 || true)
if [ -z "$tidy" ]; then
    echo "tidy.sh: run-clang-tidy is not installed (apt-get install clang-tidy)" >&2
    exit 2
fi

log=$(mktemp)
trap 'rm -f "$log"' EXIT
# run-clang-tidy's own status also counts files it could not read; the findings are what decides.
"$tidy" -p "$build" -j "${TIDY_JOBS:-2}" -quiet "^$root/($folders)/" >"$log" 2>&1 || true
# run-clang-tidy always asks for colours.
sed -i 's/\x1b\[[0-9;]*m//g' "$log"

# One line per finding (a message may run over several lines until its [check]); a header's finding is reported
# once, not once per file that includes it.
findings=$(awk '
    /^\/.*:[0-9]+:[0-9]+: (warning|error): / { text = $0; open = 1 }
    open && text != $0 { text = text " " $0 }
    open && /\]$/ { print text; open = 0 }
' "$log" | sort -u)
if [ -z "$findings" ]; then
    if grep -q 'clang-tidy.*not found\|No such file' "$log"; then
        cat "$log" >&2
        exit 2
    fi
    echo "clang-tidy: nothing found"
    exit 0
fi
printf '%s\n' "$findings" | sed "s#^$root/##"
echo
echo "clang-tidy findings per check:"
printf '%s\n' "$findings" | sed -E 's/.*\[([^],]+)(,-warnings-as-errors)?\]$/\1/' | sort | uniq -c | sort -rn
exit 1
