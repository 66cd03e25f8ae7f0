#!/usr/bin/env bash
# The layering check must pass a sound tree and fail on each kind of wrong
# dependency; a check that never fails guards nothing.
set -u
CHECK="$(cd "$(dirname "$0")/.." && pwd)/scripts/check-layout"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
failures=0

# tree NAME FILE:INCLUDE ... makes a tree whose FILEs each include INCLUDE.
tree() {
  local dir="$WORK/$1"; shift
  mkdir -p "$dir/src"
  for spec in "$@"; do
    local file=${spec%%:*} include=${spec#*:}
    mkdir -p "$dir/src/$(dirname "$file")"
    echo "#include $include" >> "$dir/src/$file"
  done
  echo "$dir"
}

expect() {
  local want=$1 name=$2; shift 2
  local dir; dir=$(tree "$name" "$@")
  "$CHECK" "$dir" 2>"$WORK/$name.err"
  local got=$?
  if [ "$got" -ne "$want" ]; then
    echo "FAIL $name: exit $got, expected $want"; cat "$WORK/$name.err"; failures=$((failures + 1))
  else
    echo "PASS $name"
  fi
}

expect 0 sound 'data/Db.cpp:"base/Clock.h"' 'wip/Wip.cpp:"data/Db.h"' 'wip/ui/frm.cpp:"widgets/Grid.h"' \
  'shell/ui/MDI.cpp:"widgets/Screen.h"' 'app/Screens.cpp:"wip/ui/frm.h"' 'board/ui/Nav.cpp:"wip/ui/frm.h"'
expect 1 data-includes-above 'data/Db.cpp:"shell/Context.h"'
expect 1 helper-includes-above 'base/Clock.cpp:"data/Db.h"'
expect 1 core-includes-widget 'wip/Wip.cpp:<QComboBox>'
expect 1 core-includes-screen 'wip/Wip.cpp:"wip/ui/frm.h"'
expect 1 main-window-includes-feature 'shell/ui/MDI.cpp:"wip/ui/frm.h"'
expect 1 folder-cycle 'wip/Wip.cpp:"board/Board.h"' 'board/Board.cpp:"wip/Wip.h"'
# The admin tool may draw the drying log's chart, and nothing else above it.
expect 0 tool-includes-charts '../tools/admin.cpp:"charts/LineChart.h"' 'charts/LineChart.cpp:"reports/R.h"'
expect 1 tool-includes-screen '../tools/admin.cpp:"wip/ui/frm.h"'
expect 1 tool-includes-qtcharts '../tools/admin.cpp:<QChart>'
expect 1 core-includes-charts 'reports/R.cpp:"charts/LineChart.h"'
# The photo panel serves the job and drying log screens, never the other way.
expect 0 photos-on-cores 'photos/Files.cpp:"drying/Log.h"' 'photos/Files.cpp:"wip/Wip.h"' \
  'wip/ui/frm.cpp:"photos/ui/Panel.h"' 'drying/ui/frmLog.cpp:"photos/ui/Panel.h"'
expect 1 photo-panel-includes-screen 'photos/ui/Panel.cpp:"wip/ui/frm.h"'
expect 1 photo-panel-includes-drying-screen 'photos/ui/Panel.cpp:"drying/ui/frmLog.h"'
exit $((failures > 0))
