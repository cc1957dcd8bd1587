#!/usr/bin/env bash
# Runs inside Xvfb (see take-screenshots.sh): starts the program, drives it with xdotool and takes the pictures.
# The click positions are those of a 1280x800 screen with the current toolbar; after a layout change run with
# PROBE=1 and read the new positions off OUTPUT_FOLDER/probe/.
set -uo pipefail

# Toolbar buttons (centre of the caption), first and second row.
POS_REGISTER="54 30"       # 合同编辑与生成
POS_MODEL="149 30"         # 合同模板管理
POS_SAMPLES="245 30"       # 在线合同范本
POS_PASSWORD="334 30"      # 设置登陆密码
POS_DATABASE="421 30"      # 数据库维护
POS_HELP="138 100"         # 帮助
# Inside the child windows (maximized in the frame): the first child category of the tree, and the buttons.
# Each can be given in the environment (POS_TREE_CHILD="70 210" ...) while measuring.
POS_TREE_CHILD="${POS_TREE_CHILD:-60 205}"
POS_ADD_ROOT="${POS_ADD_ROOT:-40 760}"
POS_EDIT_TEMPLATE="${POS_EDIT_TEMPLATE:-1100 760}"
POS_TAB_INDICATORS="${POS_TAB_INDICATORS:-420 160}"
POS_ADD_INDICATOR="${POS_ADD_INDICATOR:-1210 190}"
POS_ADD_CONTRACT="${POS_ADD_CONTRACT:-1210 190}"
POS_GENERATE="${POS_GENERATE:-1210 310}"

taken=()
skipped=()

wanted() { [ -z "$SHOTS" ] || [[ " $SHOTS " == *" $1 "* ]]; }

click() {
  # shellcheck disable=SC2086
  xdotool mousemove $1 click 1
  sleep "${2:-1}"
}

key() {
  xdotool key "$@"
  sleep 0.7
}

probe() {
  [ -n "$PROBE" ] || return 0
  mkdir -p "$OUT/probe"
  import -window root "$OUT/probe/$1.png"
}

# The pointer rests in a corner so that no button shows its hover look.
rest() { xdotool mousemove 1279 799; sleep 0.3; }

# The whole screen, or its top-left part given as WxH; kept only when it differs from the screen before the action.
shot_screen() {
  local name=$1 crop=${2:-}
  [ -n "$crop" ] || rest
  local file="$WORK/$name.png"
  if [ -n "$crop" ]; then import -window root -crop "$crop+0+0" +repage "$file"; else import -window root "$file"; fi
  keep "$name" "$file"
}

# A top-level window found by its title.
shot_window() {
  local name=$1 title=$2
  local id
  id=$(timeout 8 xdotool search --sync --onlyvisible --name "^$title\$" | sort -n | tail -1)
  if [ -z "$id" ]; then
    skipped+=("$name (no window \"$title\")")
    return 1
  fi
  sleep 0.8
  import -window "$id" "$WORK/$name.png"
  keep "$name" "$WORK/$name.png"
}

keep() {
  local name=$1 file=$2
  if [ -f "$WORK/before.png" ] && [ "$name" != main ]; then
    local diff
    diff=$(compare -metric AE "$WORK/before.png" "$file" null: 2>&1 || true)
    if [ "${diff%% *}" = "0" ]; then
      skipped+=("$name (nothing opened)")
      return 1
    fi
  fi
  cp "$file" "$OUT/$name.png"
  taken+=("$name")
}

before() {
  rest
  import -window root "$WORK/before.png"
}

cd "$APP" || exit 1
"$APP/vantrel" > "$WORK/vantrel.log" 2>&1 &
PID=$!
if ! timeout 20 xdotool search --sync --onlyvisible --name '^Vantrel$' >/dev/null; then
  echo "shoot: the main window did not appear" >&2
  cat "$WORK/vantrel.log" >&2
  exit 1
fi
sleep 2
before
wanted main && shot_screen main

if wanted menu-samples; then before; click "$POS_SAMPLES"; shot_screen menu-samples 640x330; key Escape; fi
if wanted menu-maintenance; then before; click "$POS_DATABASE"; shot_screen menu-maintenance 640x330; key Escape; fi
if wanted menu-help; then before; click "$POS_HELP"; shot_screen menu-help 640x330; key Escape; fi

if wanted password; then
  click "$POS_PASSWORD"
  shot_window password "参数修改密码设置"
  key Escape
fi

if wanted about; then
  # Its caption is the application title too; the newest window of that name is the box.
  click "$POS_HELP"; key Up; key Return
  sleep 1; shot_window about "Vantrel"
  key Escape
fi

if wanted backup-dialog; then
  click "$POS_DATABASE"; key Down; key Return
  shot_window backup-dialog " 存储合同生成数据库"
  key Escape
  sleep 1
fi

if wanted rebuild; then
  click "$POS_DATABASE"; key Up; key Return
  shot_window rebuild "系统重建"
  key Escape
fi

# The template window with the demo category, the name box of a new category, the template editor, the indicator
# list and the indicator editor.
if wanted template-window || wanted category-name || wanted template-editor || wanted indicators \
   || wanted indicator-editor; then
  before; click "$POS_MODEL" 2; probe model-opened
  click "$POS_TREE_CHILD" 2; probe model-child
  wanted template-window && shot_screen template-window
  if wanted category-name; then
    before; click "$POS_ADD_ROOT"; probe category-name-opened
    shot_screen category-name && key Escape
  fi
  if wanted template-editor; then
    before; click "$POS_EDIT_TEMPLATE" 8; probe template-editor-opened
    shot_screen template-editor
    # The editor's close button is its last one; Esc closes it as well.
    timeout 5 xdotool search --onlyvisible --name '^编辑Word$' windowactivate --sync 2>/dev/null; key Escape
    sleep 3
  fi
  if wanted indicators || wanted indicator-editor; then
    before; click "$POS_TAB_INDICATORS"; probe indicators-tab
    wanted indicators && shot_screen indicators
    if wanted indicator-editor; then
      click "$POS_ADD_INDICATOR"
      shot_window indicator-editor "新增/修改扩展参数指标" && key Escape
    fi
  fi
fi

# The register with the demo contracts, the entry dialog of a new contract, the document window.
if wanted register || wanted entry || wanted document; then
  before; click "$POS_REGISTER" 2; probe register-opened
  click "$POS_TREE_CHILD" 2; probe register-child
  wanted register && shot_screen register
  if wanted entry; then
    click "$POS_ADD_CONTRACT" 2; probe entry-opened
    shot_window entry "合同关键数据编辑" && key Escape
  fi
  if wanted document; then
    before; click "$POS_GENERATE" 5; probe document-opened
    shot_screen document
    key Escape
  fi
fi

kill "$PID" 2>/dev/null
wait "$PID" 2>/dev/null
echo "screenshots taken: ${taken[*]:-none}"
[ ${#skipped[@]} -eq 0 ] || printf 'skipped: %s\n' "${skipped[@]}"
