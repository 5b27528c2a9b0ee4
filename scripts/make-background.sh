#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Draws the main window's background picture (1024 x 740): a light grey
# surface with a dark, framed bed behind each drawing panel. The result is
# committed as qt/resources/background.jpg and compiled into the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bed() {  # x y w h: the panel's rectangle; the bed is drawn around it
  local x=$1 y=$2 w=$3 h=$4
  local x1=$((x - 7)) y1=$((y - 7)) x2=$((x + w + 6)) y2=$((y + h + 6))
  echo "-fill '#8c8c8c' -draw 'rectangle $x1,$y1 $x2,$y2'"
  echo "-fill '#f4f4f4' -draw 'rectangle $((x1 + 1)),$((y1 + 1)) $x2,$y2'"
  echo "-fill '#6a6a6a' -draw 'rectangle $((x1 + 1)),$((y1 + 1)) $((x2 - 1)),$((y2 - 1))'"
  echo "-fill '#1a1d22' -draw 'rectangle $((x - 3)),$((y - 3)) $((x + w + 2)),$((y + h + 2))'"
}
cmd="convert -size 1024x740 'gradient:#e6e8ec-#c9ccd2'"
for r in "23 15 750 115" "23 146 750 115" "23 277 750 115" "23 408 750 115" "23 539 750 115" \
         "23 674 750 49" "807 324 193 401"; do
  cmd="$cmd $(bed $r | tr '\n' ' ')"
done
cmd="$cmd -fill '#b9bdc5' -draw 'rectangle 0,736 1023,739' -quality 92 qt/resources/background.jpg"
eval "$cmd"
echo "qt/resources/background.jpg written"
