#!/usr/bin/env bash
# Checks that every C++ file is formatted as .clang-format says (no file is changed); exits non-zero and names
# the files otherwise. To format them: ./scripts/format-check.sh --fix
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'tools/*.cpp' 'tools/*.h' \
                                     'bench/*.cpp' 'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
clang-format --dry-run -Werror "${files[@]}"
echo "format-check: ${#files[@]} files formatted as .clang-format says"
