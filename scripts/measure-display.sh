#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The live display's cost against a reference measured in the same run on the
# same machine: `panel_bench widget` (seven QOpenGLWidget panels of the main
# window's sizes at 33 Hz, each a 175-line smooth grid and a 1024-vertex
# trace), then the whole tester polling the simulated car (via
# measure-tester.sh). Prints both CPU shares, their ratio and the tester's
# resident memory.
#   bash scripts/measure-display.sh [seconds]     (needs build/ with benchmarks)
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-20}
ref=$(xvfb-run -a -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb build/panel_bench widget "$secs" 2>/dev/null |
      sed -n 's/.*cpu_percent=\([0-9.]*\).*/\1/p')
out=$(bash scripts/measure-tester.sh "$secs")
echo "$out"
cpu=$(sed -n 's/^CPU while polling: \([0-9.]*\) .*/\1/p' <<<"$out")
echo "reference (panel_bench widget): ${ref} % of one core"
awk -v c="$cpu" -v r="$ref" 'BEGIN {printf "tester / reference: %.2f\n", c / r}'
