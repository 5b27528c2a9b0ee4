#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads a ThreadSanitizer log of the window tests and fails when a reported
race has one of its two racing accesses in this project's own code.

Qt's libraries are not built with ThreadSanitizer, so their own threads
(thread pool, X event queue, D-Bus) synchronise in ways it cannot see and it
reports races between Qt's allocations and Qt's frees. Those are left out: a
race counts when frame #0 or #1 of an access lies in a source file under the
project's folder. Left out too: a race on a thread's stack where one access
is made by such a library (X's client library keeps a condition on the stack
of the thread waiting for a reply, and Qt's X thread signals it; that stack
is later ours again, in whatever our code calls next). One more of Qt's own is left out: a functor handed to
another thread with QMetaObject::invokeMethod is freed by whichever thread
drops the last reference to it, counted inside Qt's library where the
sanitizer cannot see it, so that free may look unordered with the call."""
import re
import sys

log_path, root = sys.argv[1], sys.argv[2].rstrip("/") + "/"
text = open(log_path, encoding="utf-8", errors="replace").read()
reports = text.split("WARNING: ThreadSanitizer")[1:]
own = []
library = re.compile(r"\((?!libtsan)[^()]*\.so[.0-9]*\+0x[0-9a-f]+\)\s*$")


def uninstrumented(top):
    """An access made in a shared library built without the sanitizer:
    in it, or in the sanitizer's own copy of a C library call made from it."""
    return bool(library.search(top[0])) or ("libtsan" in top[0] and bool(library.search(top[1])))


for report in reports:
    body = report.split("SUMMARY")[0].split("\n  Thread T")[0]
    accesses = re.split(r"\n  (?:Write|Read|Previous write|Previous read|Atomic)", body)[1:]
    tops = [[f for n, f in re.findall(r"#(\d+) (.*)", a) if int(n) <= 1] for a in accesses]
    if any(len(t) == 2 and "operator delete" in t[0] and "qobjectdefs_impl.h" in t[1] for t in tops):
        continue  # Qt's slot object, freed under Qt's own reference count
    if "Location is stack of" in report and any(len(t) == 2 and uninstrumented(t) for t in tops):
        continue
    for top in tops:
        if any(root in f and "operator new" not in f and "operator delete" not in f for f in top):
            own.append(report[:3000])
            break
print(f"ThreadSanitizer: {len(reports)} reports, {len(own)} with a racing access in our code")
for r in own:
    print("WARNING: ThreadSanitizer" + r)
sys.exit(1 if own else 0)
