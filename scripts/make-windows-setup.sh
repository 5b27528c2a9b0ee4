#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-builds both programs for Windows (scripts/build-windows.sh) and makes
# their setup with NSIS: build-windows/m797-setup-VERSION.exe, whose path is
# the last line printed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build-windows.sh >/dev/null
version=$(sed -n 's/^project(m797_tester VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
out="$PWD/build-windows/m797-setup-$version.exe"
makensis -V2 -DVERSION="$version" -DBUILD="$PWD/build-windows" -DSOURCE="$PWD" -DOUTFILE="$out" \
  packaging/windows/m797-setup.nsi >/dev/null
echo "$out"
