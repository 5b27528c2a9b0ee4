#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads a ThreadSanitizer log of the window tests and fails when a reported
race has one of its two racing accesses in this project's own code.

Qt's libraries are not built with ThreadSanitizer, so their own threads
(thread pool, X event queue, D-Bus) synchronise in ways it cannot see and it
reports races between Qt's allocations and Qt's frees. Those are left out: a
race counts when frame #0 or #1 of an access lies in a source file under the
project's folder. One more of Qt's own is left out: a functor handed to
another thread with QMetaObject::invokeMethod is freed by whichever thread
drops the last reference to it, counted inside Qt's library where the
sanitizer cannot see it, so that free may look unordered with the call."""
import re
import sys

log_path, root = sys.argv[1], sys.argv[2].rstrip("/") + "/"
text = open(log_path, encoding="utf-8", errors="replace").read()
reports = text.split("WARNING: ThreadSanitizer")[1:]
own = []
for report in reports:
    body = report.split("SUMMARY")[0].split("\n  Thread T")[0]
    accesses = re.split(r"\n  (?:Write|Read|Previous write|Previous read|Atomic)", body)[1:]
    tops = [[f for n, f in re.findall(r"#(\d+) (.*)", a) if int(n) <= 1] for a in accesses]
    if any(len(t) == 2 and "operator delete" in t[0] and "qobjectdefs_impl.h" in t[1] for t in tops):
        continue  # Qt's slot object, freed under Qt's own reference count
    for top in tops:
        if any(root in f and "operator new" not in f and "operator delete" not in f for f in top):
            own.append(report[:3000])
            break
print(f"ThreadSanitizer: {len(reports)} reports, {len(own)} with a racing access in our code")
for r in own:
    print("WARNING: ThreadSanitizer" + r)
sys.exit(1 if own else 0)
