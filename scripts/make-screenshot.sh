#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes docs/screenshot.png: m797-tester against the simulated car on a
# virtual 1024 x 768 screen, some seconds after "Старт".
#   bash scripts/make-screenshot.sh [seconds-after-start]
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-15}
if [ -z "${SHOT_INNER:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" env SHOT_INNER=1 QT_QPA_PLATFORM=xcb bash "$0" "$@"
fi
settings=$(mktemp -d)/VELKOR.ini
# A preset that shows an engine at work: speed, coolant, lambda, air mass, idle flag.
mkdir -p "$(dirname "$settings")"
printf '[\\VELKOR\\DIAGRAM\\F]\ndiagram_ok=1\n[\\VELKOR\\DIAGRAM\\F1]\ndiagram_1=55\ndiagram_2=68\ndiagram_3=73\ndiagram_4=52\ndiagram_5=20\n' > "$settings"
build/m797-tester --simulate --settings "$settings" &
pid=$!
until xdotool search --onlyvisible --name 'M7.9.7' >/dev/null 2>&1; do sleep 0.05; done
sleep 1
xdotool mousemove 860 179 click 1   # "Старт"
sleep "$secs"
import -window root -crop 1024x740+0+0 docs/screenshot.png
kill "$pid"; wait "$pid" 2>/dev/null || true
echo "docs/screenshot.png written"
