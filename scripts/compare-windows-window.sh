#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The tester's main window under Wine beside the Linux one: both started
# against the simulated car with the same (first-start) settings on a
# 1024 x 768 virtual screen, shot before "Старт", when nothing moves. Under
# Wine each panel draws out of sight and its picture is copied into a child
# window at its place (Wine shows no OpenGL in child windows on this X server). Fonts differ (Qt's and Wine's renderings
# of Arial), so the pictures are compared within a tolerance: at most
# MAX_PERCENT (default 4) per cent of the pixels may differ by more than a
# quarter of the colour range. Writes both shots and the two side by side
# into the folder given.
#   WINEPREFIX=... bash scripts/compare-windows-window.sh OUTDIR
set -euo pipefail
cd "$(dirname "$0")/.."
out=$1
mkdir -p "$out"
if [ -z "${SHOT_INNER:-}" ]; then
  SHOT_INNER=linux bash scripts/with-screen.sh env QT_QPA_PLATFORM=xcb bash "$0" "$@"
  SHOT_INNER=wine bash scripts/with-screen.sh bash "$0" "$@"
  wineserver -k 2>/dev/null || true
  convert "$out/linux.png" "$out/wine.png" +append "$out/side-by-side.png"
  differ=$(compare -metric AE -fuzz 25% "$out/linux.png" "$out/wine.png" null: 2>&1 || true)
  percent=$(awk -v d="$differ" 'BEGIN {printf "%.2f", 100 * d / (1024 * 740)}')
  echo "pixels that differ: $differ ($percent %)"
  awk -v p="$percent" -v m="${MAX_PERCENT:-4}" 'BEGIN {exit !(p <= m)}' ||
    { echo "the Wine window does not look like the Linux one"; exit 1; }
  exit 0
fi
settings=$(mktemp -d)
shown() { until xdotool search --onlyvisible --name 'M7.9.7' >/dev/null 2>&1; do sleep 0.1; done; }
if [ "$SHOT_INNER" = linux ]; then
  build/m797-tester --simulate --settings "$settings/VELKOR.ini" 2>/dev/null &
else
  wine build-windows/m797-tester.exe --simulate --settings 'Software\m797-compare' 2>/dev/null &
fi
pid=$!
shown
sleep 4
import -window root -crop 1024x740+0+0 "$out/$SHOT_INNER.png"
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
