#!/usr/bin/env bash
# scripts/layer-check.sh on a small tree of its own: an include of a higher layer, of an unlisted folder of the same
# layer and of another tool is reported with file and line and fails the check; the same includes pass once the
# table allows them; then the check of this tree itself.
set -euo pipefail
check="$1/scripts/layer-check.sh"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
failures=0
expect() { # expect <what> <condition>
  if ! eval "$2"; then
    echo "FAIL: $1"
    failures=$((failures + 1))
  fi
}

mkdir -p "$root/docs" "$root/src/low" "$root/src/high" "$root/src/side" "$root/src/high/sub" "$root/tools/one" \
         "$root/tools/two"
table() { # table <also-uses cell of src/high>
  cat > "$root/docs/ARCHITECTURE.md" <<TABLE
# Map

## Layers

| layer | folder | also uses | libraries | what it holds |
|---|---|---|---|---|
| 3 | \`tools/*\` | | | tools |
| 2 | \`src/high\` | $1 | | high |
| 2 | \`src/side\` | | | side |
| 1 | \`src/low\` | | | low |

## Next section

| layer | folder |
|---|---|
| 9 | \`src/low\` |
TABLE
}
printf '#pragma once\n' > "$root/src/low/Low.h"
printf '#pragma once\n' > "$root/src/side/Side.h"
printf '#pragma once\n' > "$root/tools/two/Two.h"
printf '#pragma once\n#include "high/sub/Deep.h"\n' > "$root/src/high/High.h"
printf '#pragma once\n#include "low/Low.h"\n#include <vector>\n#include "Local.h"\n' > "$root/src/high/sub/Deep.h"
printf '#include "low/Low.h"\n\n#include "high/High.h"\n' > "$root/src/low/Low.cpp"
printf '#include "side/Side.h"\n' > "$root/src/high/High.cpp"
printf '#include "high/High.h"\n#include "two/Two.h"\n' > "$root/tools/one/main.cpp"

table ""
set +e
out=$("$check" "$root" 2>/dev/null)
rc=$?
set -e
expect "a broken table of layers fails the check (exit $rc)" '[ "$rc" = 1 ]'
expect "the include of a higher layer is named with file and line" \
  'grep -q "^src/low/Low.cpp:3: #include \"high/High.h\"" <<<"$out"'
expect "the include of an unlisted folder of the same layer is named" \
  'grep -q "^src/high/High.cpp:1: #include \"side/Side.h\"" <<<"$out"'
expect "one tool including another is named" 'grep -q "^tools/one/main.cpp:2: #include \"two/Two.h\"" <<<"$out"'
expect "exactly the three offending includes are named" '[ "$(wc -l <<<"$out")" = 3 ]'

table '`src/side`'
sed -i '3d' "$root/src/low/Low.cpp"
rm -r "$root/tools/two"
set +e
out=$("$check" "$root" 2>&1)
rc=$?
set -e
expect "includes the table allows pass (exit $rc: $out)" '[ "$rc" = 0 ]'

printf '#include "low/Low.h"\n' > "$root/src/Stray.cpp"
set +e
out=$("$check" "$root" 2>/dev/null)
rc=$?
set -e
expect "a file outside every folder of the table fails the check" \
  '[ "$rc" = 1 ] && grep -q "^src/Stray.cpp: its folder is not in the table" <<<"$out"'

set +e
out=$("$check" "$1" 2>&1)
rc=$?
set -e
expect "this tree keeps its layers ($out)" '[ "$rc" = 0 ]'

[ "$failures" = 0 ] && echo "layer-check: all cases passed"
exit "$failures"
