#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Measures m797-tester polling the simulated car on a virtual 1024 x 768
# screen: time until the main window is mapped, CPU share and resident
# memory over a polling period, and (PAINT_STATS=1) the median paint time of
# each panel. TESTER names another build of the program.
#   bash scripts/measure-tester.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-20}
if [ -z "${MEASURE_INNER:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" env MEASURE_INNER=1 QT_QPA_PLATFORM=xcb bash "$0" "$@"
fi
settings=$(mktemp -d)/VELKOR.ini
start=$(date +%s%N)
# Paint times cost a glFinish per paint: only when asked (PAINT_STATS=1).
if [ -n "${PAINT_STATS:-}" ]; then export M797_PAINT_STATS=1; fi
"${TESTER:-build/m797-tester}" --simulate --settings "$settings" 2>/tmp/m797-paint-stats.txt &
pid=$!
until xdotool search --onlyvisible --name 'M7.9.7' >/dev/null 2>&1; do sleep 0.01; done
shown=$(( ($(date +%s%N) - start) / 1000000 ))
sleep 1
xdotool mousemove 860 179 click 1   # "Старт"
sleep 3
ticks=$(getconf CLK_TCK)
read -r u0 s0 < <(awk '{print $14, $15}' /proc/$pid/stat)
sleep "$secs"
read -r u1 s1 < <(awk '{print $14, $15}' /proc/$pid/stat)
rss=$(awk '/VmRSS/ {print $2}' /proc/$pid/status)
cpu=$(awk -v a=$((u1 + s1 - u0 - s0)) -v t="$ticks" -v s="$secs" 'BEGIN {printf "%.1f", 100 * a / t / s}')
kill "$pid"; wait "$pid" 2>/dev/null || true
echo "window shown after ${shown} ms"
echo "CPU while polling: ${cpu} % of one core over ${secs} s"
echo "resident memory: $((rss / 1024)) MB"
cat /tmp/m797-paint-stats.txt | grep '^panel' || true
