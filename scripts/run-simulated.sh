#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts m797-tester against the simulated car. Without a display it runs on
# a virtual 1024 x 768 screen (Xvfb); on a real desktop, whose screen is
# seldom exactly 1024 pixels wide, it passes --any-screen so that the
# resolution notice does not stop it. Extra arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb build/m797-tester --simulate "$@"
fi
exec build/m797-tester --simulate --any-screen "$@"
