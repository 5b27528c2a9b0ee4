#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks the include graph of the source folders against the layering the
code is built on:

- below the faces (platform, link, ecu, sim, lines, diagnosis, journal, painting, logic) and in
  the logger (cli) no Qt; outside platform no Windows header there either
  (<windows.h> or any other of the system's: <shellapi.h>, <commctrl.h>, ...);
- every folder with sources, at any depth, is one the layering names;
- platform uses none of our folders; link only platform; ecu only link and
  platform; sim only platform and link; lines (the line factory) only
  platform, link and sim; diagnosis (the drive's checks and their limits)
  only platform and ecu, and so the journal (cars, visits and actions in
  SQLite); painting (what the panels show and draw, over
  painting/Panel.h) only platform, link and ecu; logic (what the windows do)
  only those and lines, diagnosis, journal and painting; the logger only
  platform, link, ecu, lines, diagnosis and journal; the Qt face (qt/, qt/glpanel/) and the Windows face (win32/,
  win32/glpanel/) use what they like below them, never each other;
- no two folders include each other, directly or round a longer loop.

Prints each breach with the file and line; exits 1 if there is any."""
import os
import re
import sys

ROOT = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
FOLDERS = ["platform", "link", "ecu", "sim", "lines", "diagnosis", "journal", "painting", "logic", "qt", "qt/glpanel", "win32",
           "win32/glpanel", "cli"]
FACES = [{"qt", "qt/glpanel"}, {"win32", "win32/glpanel"}]
BELOW_FACES = {
    "platform": set(),
    "link": {"platform"},
    "ecu": {"link", "platform"},
    "sim": {"platform", "link"},
    "lines": {"platform", "link", "sim"},
    "diagnosis": {"platform", "ecu"},
    "journal": {"platform", "ecu"},
    "painting": {"platform", "link", "ecu"},
    "logic": {"platform", "link", "ecu", "lines", "diagnosis", "journal", "painting"},
    "cli": {"platform", "link", "ecu", "lines", "diagnosis", "journal"},
}
# The Windows SDK's own headers (mingw-w64 ships them in lower case).
WINDOWS_H = re.compile(
    r'^\s*#\s*include\s+<(windows|winbase|winuser|wingdi|winreg|winerror|winsock2?|ws2tcpip|commctrl|commdlg|'
    r'shellapi|shlobj|shlwapi|setupapi|cfgmgr32|devguid|dbt|gdiplus|objbase|ole2|mmsystem|tlhelp32|knownfolders|'
    r'versionhelpers|processthreadsapi|synchapi|fileapi|handleapi|io|direct|process)\.h>', re.IGNORECASE)
OURS = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
QT = re.compile(r'^\s*#\s*include\s+<(Q[A-Za-z]+|Qt[A-Za-z]+/[^>]+)>')


def folder_of(path):
    d = os.path.dirname(path)
    return d if d in FOLDERS else None


def main():
    breaches = []
    edges = {}
    # A folder of sources the layering does not name escapes every rule.
    for folder in FOLDERS:
        for dirpath, dirnames, filenames in os.walk(os.path.join(ROOT, folder)):
            rel = os.path.relpath(dirpath, ROOT).replace(os.sep, "/")
            if rel not in FOLDERS and any(n.endswith((".h", ".cpp")) for n in filenames):
                breaches.append(f"{rel}/: a folder of sources the layering does not name")
    for folder in FOLDERS:
        base = os.path.join(ROOT, folder)
        for name in sorted(os.listdir(base)):
            if not name.endswith((".h", ".cpp")):
                continue
            rel = f"{folder}/{name}"
            with open(os.path.join(base, name), encoding="utf-8") as f:
                for number, line in enumerate(f, 1):
                    if folder in BELOW_FACES and QT.match(line):
                        breaches.append(f"{rel}:{number}: {folder}/ uses no toolkit: {line.strip()}")
                    if folder in BELOW_FACES and folder != "platform" and WINDOWS_H.match(line):
                        breaches.append(f"{rel}:{number}: only platform/ includes a Windows header: {line.strip()}")
                    m = OURS.match(line)
                    if not m:
                        continue
                    target = folder_of(m.group(1))
                    if target is None or target == folder:
                        continue
                    edges.setdefault(folder, {}).setdefault(target, f"{rel}:{number}")
                    if folder in BELOW_FACES and target not in BELOW_FACES[folder]:
                        breaches.append(f"{rel}:{number}: {folder}/ may not use {target}/")
                    if any(folder in a and target in b for a in FACES for b in FACES if a is not b):
                        breaches.append(f"{rel}:{number}: one face never uses the other: {folder}/ uses {target}/")
    # Loops between folders.
    def reach(start, goal, seen):
        for nxt in edges.get(start, {}):
            if nxt == goal:
                return True
            if nxt not in seen:
                seen.add(nxt)
                if reach(nxt, goal, seen):
                    return True
        return False

    for a, targets in sorted(edges.items()):
        for b, where in sorted(targets.items()):
            if reach(b, a, {b}):
                breaches.append(f"{where}: {a}/ uses {b}/, and {b}/ leads back to {a}/")
    for b in breaches:
        print(b)
    print(f"include graph: {len(breaches)} breaches")
    return 1 if breaches else 0


if __name__ == "__main__":
    sys.exit(main())
