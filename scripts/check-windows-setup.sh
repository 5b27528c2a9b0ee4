#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows setup under Wine, in the prefix WINEPREFIX names: it installs
# silently (both programs, the manual, the licence with Windows line ends,
# the notices of the linked runtime, the Start-menu entries, the desktop
# shortcut, the uninstall entry with its publisher, size and help link, the
# recordings' file type), the installed logger runs, the uninstaller leaves
# a copy whose program still runs, a setup into another folder takes the
# copy before away, and the uninstaller removes it all again, leaving the
# user's settings.
#   bash scripts/check-windows-setup.sh SETUP.exe
set -euo pipefail
setup=$1
[ -n "${WINEPREFIX:-}" ] || { echo "set WINEPREFIX" >&2; exit 2; }
dir="$WINEPREFIX/drive_c/Program Files/M797 Tester"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/M7.9.7"
desktop="$WINEPREFIX/drive_c/users/Public/Desktop/M7.9.7 тестер.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\M797 Tester'
fail() { echo "windows setup: $*" >&2; exit 1; }
wine reg add 'HKCU\VELKOR\MANAGEMENT\COLOUR_CIRCUIT' /v GRID_R /t REG_DWORD /d 20 /f >/dev/null 2>&1
wine "$setup" /S
wineserver -w
for f in m797-tester.exe m797-log.exe LICENSE.txt THIRD-PARTY-NOTICES.txt manual-ru.html uninstall.exe; do
  [ -f "$dir/$f" ] || fail "$f was not installed"
done
[ "$(grep -c $'\r$' "$dir/LICENSE.txt")" = "$(wc -l <"$dir/LICENSE.txt")" ] || fail "LICENSE.txt without CR LF"
grep -q 'winpthreads' "$dir/THIRD-PARTY-NOTICES.txt" && grep -q 'GCC Runtime Library Exception' "$dir/THIRD-PARTY-NOTICES.txt" ||
  fail "the notices lack winpthreads or GCC's runtime"
grep -q 'public domain' "$dir/THIRD-PARTY-NOTICES.txt" && grep -q 'SQLite 3\.' "$dir/THIRD-PARTY-NOTICES.txt" ||
  fail "the notices lack SQLite's"
[ -f "$menu/M7.9.7 тестер.lnk" ] || fail "no Start-menu entry"
[ -f "$menu/Руководство.lnk" ] || fail "no Start-menu entry for the manual"
grep -q 'm797-tester' "$dir/manual-ru.html" || fail "the manual is empty"
[ -f "$desktop" ] || fail "no desktop shortcut"
entry() { wine reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | awk -v n="$1" '$1 == n {print $3}'; }
[[ "$(entry DisplayVersion)" == 1.* ]] || fail "no uninstall entry"
publisher=$(wine reg query "$key" /v Publisher 2>/dev/null | tr -d '\r' | sed -n 's/^ *Publisher *REG_SZ *//p')
[ "$publisher" = "$(sed -n 's/^set(M797_MAINTAINER "\([^<"]*\) <.*/\1/p' "$(dirname "$0")/../CMakeLists.txt")" ] ||
  fail "the uninstall entry's publisher is '$publisher'"
[ "$(wine reg query "$key" /v HelpLink 2>/dev/null | tr -d '\r' | sed -n 's/^ *HelpLink *REG_SZ *//p')" = \
  'C:\Program Files\M797 Tester\manual-ru.html' ] || fail "the uninstall entry's help link is not the manual"
# A recording of the journal (.m797) opens in the tester, given its name.
regdefault() { wine reg query "$1" /ve 2>/dev/null | tr -d '\r' | sed -n 's/^ *(Default) *REG_SZ *//p'; }
[ "$(regdefault 'HKLM\Software\Classes\.m797')" = M797Tester.Recording ] || fail "no file type for .m797"
[ "$(regdefault 'HKLM\Software\Classes\M797Tester.Recording\shell\open\command')" = \
  '"C:\Program Files\M797 Tester\m797-tester.exe" --any-screen "%1"' ] || fail "a recording does not open in the tester"
size=$(entry EstimatedSize)
[ -n "$size" ] && [ $((size)) -gt 1000 ] || fail "the uninstall entry's size is '$size'"
version=$(wine "$dir/m797-log.exe" --version 2>/dev/null | tr -d '\r')
[ "$version" = "m797-log $(sed -n 's/^project(m797_tester VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../CMakeLists.txt")" ] ||
  fail "the installed logger says '$version'"
# A program still running keeps its copy and its uninstall entry: the
# uninstaller (run in place, to give its exit code) gives up with code 2
# instead of saying it was done and leaving the program behind.
# (Its folder follows "_?=" unquoted: Wine would quote it as one word.)
wine "$dir/m797-log.exe" --simulate >"$WINEPREFIX/logger.out" 2>&1 &
for _ in $(seq 300); do grep -q '^status' "$WINEPREFIX/logger.out" 2>/dev/null && break; sleep 0.1; done
status=0
wine "$dir/uninstall.exe" /S '_?=C:\Program' 'Files\M797' 'Tester' || status=$?
wineserver -k
wineserver -w
[ "$status" = 2 ] || fail "the uninstaller beside a running logger ended with $status"
[ -f "$dir/m797-log.exe" ] && [ -f "$dir/m797-tester.exe" ] && [ "$(entry DisplayVersion)" != "" ] ||
  fail "the uninstaller beside a running logger removed something: $(ls "$dir")"
# Installed again into another folder: the copy before goes, shortcut and
# all, and the uninstall entry names the new one.
other='C:\Диагностика\M797 Tester'
otherdir="$WINEPREFIX/drive_c/Диагностика/M797 Tester"
wine "$setup" /S '/D=C:\Диагностика\M797' 'Tester'
wineserver -w
[ -f "$otherdir/m797-tester.exe" ] || fail "not installed into $other"
[ ! -e "$dir" ] || fail "the copy installed before was left: $(ls "$dir")"
# (reg prints the Cyrillic as question marks.)
location=$(wine reg query "$key" /v InstallLocation 2>/dev/null | tr -d '\r' | sed -n 's/^ *InstallLocation *REG_SZ *//p')
[[ "$location" == 'C:\'*'\M797 Tester' && "$location" != 'C:\Program Files\'* ]] ||
  fail "the uninstall entry names '$location', not $other"
dir=$otherdir
# The uninstaller copies itself away and runs from there: waited for whole.
wine "$dir/uninstall.exe" /S
wineserver -w
[ ! -e "$dir" ] || fail "left behind: $(ls "$dir")"
[ ! -e "$menu" ] || fail "the Start-menu entries were left"
[ ! -e "$desktop" ] || fail "the desktop shortcut was left"
! wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\M797 Tester' >/dev/null 2>&1 ||
  fail "the uninstall entry was left"
! wine reg query 'HKLM\Software\Classes\.m797' >/dev/null 2>&1 &&
  ! wine reg query 'HKLM\Software\Classes\M797Tester.Recording' >/dev/null 2>&1 || fail "the file type was left"
wine reg query 'HKCU\VELKOR\MANAGEMENT\COLOUR_CIRCUIT' /v GRID_R >/dev/null 2>&1 || fail "the user's settings went"
echo "windows setup: installed and uninstalled cleanly"
