#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command on a virtual 1024 x 768 screen of its own (or of the size
# M797_SCREEN names, as 1280x1024x24; Xvfb, on the first free display number) with a real window manager (openbox), so that
# focus, raising, the close button and Alt+F4 behave as on a desktop. The
# screen and the manager end with the command; its exit status is kept.
#
#   bash scripts/with-screen.sh COMMAND [ARG...]
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: with-screen.sh COMMAND [ARG...]" >&2; exit 2; }
dir=$(mktemp -d)
# The command's status is kept: a manager or server gone already (its
# screen closed under it) is nothing to kill.
cleanup() {
  [ -z "${wm:-}" ] || kill "$wm" 2>/dev/null || true
  [ -z "${xvfb:-}" ] || kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT
# Xvfb picks a free display itself and writes its number once it listens.
Xvfb -displayfd 3 -screen 0 "${M797_SCREEN:-1024x768x24}" -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
xvfb=$!
for _ in $(seq 1 200); do
  [ -s "$dir/display" ] && break
  kill -0 "$xvfb" 2>/dev/null || { cat "$dir/xvfb.log" >&2; exit 1; }
  sleep 0.05
done
[ -s "$dir/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$dir/display")"
if command -v openbox >/dev/null; then
  openbox --sm-disable >"$dir/openbox.log" 2>&1 &
  wm=$!
  # The manager is there once it names itself on the root window.
  for _ in $(seq 1 200); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.05
  done
else
  echo "with-screen.sh: no openbox; running without a window manager" >&2
fi
set +e
"$@"
rc=$?
set -e
exit "$rc"
