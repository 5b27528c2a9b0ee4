#!/usr/bin/env python3
"""Checks the include graph of the source folders against the layering the
code is built on:

- the core (platform, link, ecu, sim, lines) and the window logic use no Qt;
- platform uses none of our folders; link only platform; ecu only link and
  platform; sim only platform and link; lines (the line factory) only
  platform, link and sim; logic (what the windows do, without a toolkit)
  only platform, link, ecu and lines;
- display/ but the Qt face's few files there (the painting) uses no toolkit
  and no face's panel;
- no two folders include each other, directly or round a longer loop.

Prints each breach with the file and line; exits 1 if there is any."""
import os
import re
import sys

ROOT = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
FOLDERS = ["platform", "link", "ecu", "sim", "lines", "logic", "app", "display", "display/glpanel", "settings", "dtc", "control", "cli"]
CORE_ALLOWED = {
    "platform": set(),
    "link": {"platform"},
    "ecu": {"link", "platform"},
    "sim": {"platform", "link"},
    "lines": {"platform", "link", "sim"},
    "logic": {"platform", "link", "ecu", "lines"},
}
# The Qt face's own files in display/; the rest of display/ is the painting
# (charts, strip, passport, history, sampler, paint gate), which both faces
# share: no toolkit there, and nothing of a face's panel.
DISPLAY_FACE_FILES = {"ClosingDialog.h", "WindowRules.h", "WindowRules.cpp", "PortLabel.cpp"}
WINDOWS_H = re.compile(r'^\s*#\s*include\s+<windows\.h>', re.IGNORECASE)
OURS = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
QT = re.compile(r'^\s*#\s*include\s+<(Q[A-Za-z]+|Qt[A-Za-z]+/[^>]+)>')


def folder_of(path):
    d = os.path.dirname(path)
    return d if d in FOLDERS else None


def main():
    breaches = []
    edges = {}
    for folder in FOLDERS:
        base = os.path.join(ROOT, folder)
        for name in sorted(os.listdir(base)):
            if not name.endswith((".h", ".cpp")):
                continue
            rel = f"{folder}/{name}"
            with open(os.path.join(base, name), encoding="utf-8") as f:
                for number, line in enumerate(f, 1):
                    if folder in CORE_ALLOWED and QT.match(line):
                        breaches.append(f"{rel}:{number}: the core uses no Qt: {line.strip()}")
                    painting = folder == "display" and name not in DISPLAY_FACE_FILES
                    if painting and (QT.match(line) or WINDOWS_H.match(line)):
                        breaches.append(f"{rel}:{number}: the painting uses no toolkit: {line.strip()}")
                    m = OURS.match(line)
                    if not m:
                        continue
                    target = folder_of(m.group(1))
                    if target is None or target == folder:
                        continue
                    edges.setdefault(folder, {}).setdefault(target, f"{rel}:{number}")
                    if folder in CORE_ALLOWED and target not in CORE_ALLOWED[folder]:
                        breaches.append(f"{rel}:{number}: {folder}/ may not use {target}/")
                    if painting and target == "display/glpanel":
                        breaches.append(f"{rel}:{number}: the painting draws on display/Panel.h, not a face's panel")
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
