#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-builds both programs for 64-bit Windows with mingw-w64 (Debian's
# g++-mingw-w64-x86-64-posix), self-contained (the runtime linked in), into
# build-windows/: the tester's native window and the logger; with --test
# also the tests that run under Wine. The last two lines printed are the
# .exe files' paths, the tester's, then the logger's.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build-windows
tests=OFF
[ "${1:-}" = "--test" ] && tests=ON
# SQLite for the journal, compiled in: the pinned amalgamation.
bash scripts/fetch-sqlite.sh "$dir/sqlite" >&2
cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
  -DM797_SQLITE_DIR="$PWD/$dir/sqlite" -DM797_GUI=OFF -DM797_BENCH=OFF -DM797_TESTS=$tests -DM797_UNITY_BUILD="${M797_UNITY_BUILD:-OFF}" >/dev/null
# The build's own output on the standard error: a failure shows why.
cmake --build "$dir" -j"$(nproc)" --target m797-log m797-tester $([ $tests = ON ] && echo windows_core_tests windows_paint_tests windows_driver_tests) >&2
echo "$PWD/$dir/m797-tester.exe"
echo "$PWD/$dir/m797-log.exe"
