#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The tester's windows under Wine beside the Linux ones: both started
# against the simulated car with the same (first-start) settings on a
# 1024 x 768 virtual screen, shot before "Старт", when nothing moves. Under
# Wine each panel draws out of sight and its picture is copied into a child
# window at its place (Wine shows no OpenGL in child windows on this X server). Fonts differ (Qt's and Wine's renderings
# of Arial), so the pictures are compared within a tolerance: at most
# MAX_PERCENT (default 4) per cent of the pixels may differ by more than a
# quarter of the colour range; each child window within a bound of its own.
# The resolution notice is shot the same way on a 1280 x 1024 screen, where
# it shows instead of the main window. Writes both shots and the two side by
# side into the folder given.
#   WINEPREFIX=... bash scripts/compare-windows-window.sh OUTDIR
set -euo pipefail
cd "$(dirname "$0")/.."
out=$1
mkdir -p "$out"
if [ -z "${SHOT_INNER:-}" ]; then
  SHOT_INNER=linux bash scripts/with-screen.sh env QT_QPA_PLATFORM=xcb bash "$0" "$@"
  SHOT_INNER=wine bash scripts/with-screen.sh bash "$0" "$@"
  wineserver -k 2>/dev/null || true
  # The notice shows only on a screen of another width.
  export M797_SCREEN=1280x1024x24 SHOT_NOTICE=1
  SHOT_INNER=linux bash scripts/with-screen.sh env QT_QPA_PLATFORM=xcb bash "$0" "$@"
  SHOT_INNER=wine bash scripts/with-screen.sh bash "$0" "$@"
  wineserver -k 2>/dev/null || true
  convert "$out/linux.png" "$out/wine.png" +append "$out/side-by-side.png"
  differ=$(compare -metric AE -fuzz 25% "$out/linux.png" "$out/wine.png" null: 2>&1 || true)
  percent=$(awk -v d="$differ" 'BEGIN {printf "%.2f", 100 * d / (1024 * 740)}')
  echo "pixels that differ: $differ ($percent %)"
  awk -v p="$percent" -v m="${MAX_PERCENT:-4}" 'BEGIN {exit !(p <= m)}' ||
    { echo "the Wine window does not look like the Linux one"; exit 1; }
  # The child windows: the same client size, and within a bound of their
  # own (the toolkits draw tabs, lists and sliders each in its style; their
  # places are checked exactly by each face's tests against the tables).
  for pair in codes:8 settings:22 port:22 control:18 reset:18 journal:22 about:18 notice:14; do
    name=${pair%%:*} bound=${pair#*:}
    a="$out/linux-$name.png" b="$out/wine-$name.png"
    [ "$(identify -format '%wx%h' "$a")" = "$(identify -format '%wx%h' "$b")" ] ||
      { echo "$name: the Wine window is $(identify -format '%wx%h' "$b"), the Linux one $(identify -format '%wx%h' "$a")"; exit 1; }
    convert "$a" "$b" +append "$out/side-by-side-$name.png"
    differ=$(compare -metric AE -fuzz 25% "$a" "$b" null: 2>&1 || true)
    percent=$(awk -v d="$differ" -v wh="$(identify -format '%w %h' "$a")" 'BEGIN {split(wh, s, " "); printf "%.2f", 100 * d / (s[1] * s[2])}')
    echo "$name: pixels that differ: $differ ($percent %, bound $bound %)"
    awk -v p="$percent" -v m="$bound" 'BEGIN {exit !(p <= m)}' ||
      { echo "the Wine window $name does not look like the Linux one"; exit 1; }
  done
  exit 0
fi
settings=$(mktemp -d)
shown() { until xdotool search --onlyvisible --name 'M7.9.7' >/dev/null 2>&1; do sleep 0.1; done; }
# The journal of visits in the same fresh folder too: empty on both.
if [ "$SHOT_INNER" = linux ]; then
  XDG_DATA_HOME="$settings" build/m797-tester --simulate --settings "$settings/VELKOR.ini" 2>/dev/null &
else
  # Wine sets the program's data folder itself; a program started from a
  # command script has the script's.
  printf '@set LOCALAPPDATA=%s\r\n@"%s" --simulate --settings Software\\m797-compare\r\n' \
    "$(winepath -w "$settings")" "$(winepath -w build-windows/m797-tester.exe)" >"$settings/start.bat"
  wine cmd /c "$(winepath -w "$settings/start.bat")" 2>/dev/null &
fi
pid=$!
# The client area of the window titled $2 (the window manager's frame aside), as $1.
shoot() {
  local id="" info x y w h
  for _ in $(seq 50); do
    id=$(xdotool search --onlyvisible --name "^$2\$" 2>/dev/null | head -n 1) && [ -n "$id" ] && break
    sleep 0.1
  done
  sleep "${3:-1.5}"
  info=$(xwininfo -id "$id")
  x=$(awk '/Absolute upper-left X/ {print $4}' <<<"$info")
  y=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$info")
  w=$(awk '/Width:/ {print $2}' <<<"$info")
  h=$(awk '/Height:/ {print $2}' <<<"$info")
  import -window root -crop "${w}x${h}+${x}+${y}" "$out/$SHOT_INNER-$1.png"
  shot=$id
}
if [ -n "${SHOT_NOTICE:-}" ]; then
  shoot notice "Ошибка вывода на экран." 1
  wait "$pid" 2>/dev/null || true  # it ends by itself
  exit 0
fi
shown
sleep 4
import -window root -crop 1024x740+0+0 "$out/$SHOT_INNER.png"
# Each child window, opened by its button and shot without its frame.
# Each opened by a click on the main window's button at x y, or by keys
# pressed in the main window ("keys" in place of x); then keys pressed in it;
# the window shot is the one titled shot (by default the one opened).
child() {  # name, title, x y | keys "KEYS", [keys in it, [title shot]]
  if [ "$3" = keys ]; then
    xdotool search --onlyvisible --name 'M7.9.7' windowactivate --sync 2>/dev/null || true
    xdotool key $4
  else
    xdotool mousemove "$3" "$4" click 1
  fi
  if [ -n "${5:-}" ]; then
    local id=""
    for _ in $(seq 50); do
      id=$(xdotool search --onlyvisible --name "^$2\$" 2>/dev/null | head -n 1) && [ -n "$id" ] && break
      sleep 0.1
    done
    sleep 1.5
    xdotool key --delay 60 --window "$id" $5
    sleep 0.5
  fi
  if [ -n "${6:-}" ]; then shoot "$1" "$6" 1; else shoot "$1" "$2"; fi
  xdotool windowactivate "$shot" 2>/dev/null || true
  sleep 0.3
  xdotool key Escape
  sleep 1
  # A window that stood in for another: that one is left too.
  if [ -n "${6:-}" ]; then
    xdotool key Escape
    sleep 1
  fi
}
child codes "Ошибки" 860 147
child settings "Настройка программы" 956 115
child port "Настройка программы" 956 115 "Right Right Right"
child control "Управление" 860 115
# The reset's confirmation stands in for the control window: the fifteenth
# entry down asks first.
child reset "Управление" 860 115 "$(printf 'Down %.0s' $(seq 15))" "Сбрс ЭБУ"
child journal "Журнал визитов" keys ctrl+j
child about "О программе" 956 147
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
