#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-builds both programs for Windows (scripts/build-windows.sh) and makes
# their setup with NSIS: build-windows/m797-setup-VERSION.exe, whose path is
# the last line printed. The texts it installs are made here with Windows
# line ends: the licence, and the notices of the runtime linked statically
# into both programs (the mingw-w64 runtime with winpthreads, and GCC's
# libgcc and libstdc++), taken from the cross-compiler's own packages, and
# SQLite's public-domain dedication from its header.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build-windows.sh >/dev/null
version=$(sed -n 's/^project(m797_tester VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
# The publisher is the maintainer's name, from the one place that sets it.
publisher=$(sed -n 's/^set(M797_MAINTAINER "\([^<"]*\) <.*/\1/p' CMakeLists.txt)
[ -n "$publisher" ] || { echo "no maintainer in CMakeLists.txt" >&2; exit 1; }
crlf() { sed 's/\r$//; s/$/\r/'; }
# The manual, made from the Russian manual pages as the Linux build makes it.
python3 scripts/man2html.py "Руководство: M7.9.7 тестер и регистратор" "$version" build-windows/manual-ru.html \
  packaging/ru/m797-tester.1 packaging/ru/m797-log.1
crlf <LICENSE >build-windows/LICENSE.txt
cp docs/report-schema.json build-windows/report-schema.json
notices=(/usr/share/doc/mingw-w64-x86-64-dev/copyright /usr/share/doc/gcc-mingw-w64-x86-64-posix-runtime/copyright)
for f in "${notices[@]}"; do [ -f "$f" ] || { echo "missing $f: install the mingw-w64 packages" >&2; exit 1; }; done
{
  echo "M7.9.7 tester $version: notices of the third-party code linked into m797-tester.exe and m797-log.exe"
  echo
  echo "Both programs are linked statically with the mingw-w64 runtime (its C runtime"
  echo "and winpthreads) and with GCC's runtime libraries (libgcc, libstdc++, under the"
  echo "GCC Runtime Library Exception). Their copyright and licence texts follow, as"
  echo "their Debian packages give them."
  for f in "${notices[@]}"; do
    echo
    echo "==== $(basename "$(dirname "$f")") ===="
    echo
    cat "$f"
  done
  echo
  echo "==== SQLite ===="
  echo
  echo "The journal of visits is kept with SQLite $(sed -n 's/^#define SQLITE_VERSION *"\(.*\)"/\1/p' build-windows/sqlite/sqlite3.h),"
  echo "compiled into m797-tester.exe and m797-log.exe. Its authors have dedicated it"
  echo "to the public domain (https://www.sqlite.org/copyright.html):"
  echo
  sed -n '/^\*\* The author disclaims copyright/,/^\*\*\*\*/p' build-windows/sqlite/sqlite3.h | sed -n '1,/^\*\*\*\*/p' |
    sed 's/^\*\*\** *//'
} | crlf >build-windows/THIRD-PARTY-NOTICES.txt
out="$PWD/build-windows/m797-setup-$version.exe"
makensis -V2 -DVERSION="$version" -DPUBLISHER="$publisher" -DBUILD="$PWD/build-windows" -DSOURCE="$PWD" \
  -DOUTFILE="$out" packaging/windows/m797-setup.nsi >/dev/null
echo "$out"
