#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks the HTML manual against the manual pages it was made from: every
section and subsection heading, every option and exit status the pages
define and every example line is there, in the order of its page, and no
roff is left over.

    check-manual.py MANUAL.html PAGE.1 [PAGE.1 ...]"""
import html
import re
import sys


def plain(roff):
    text = re.sub(r"\\f[BIRP]", "", roff).replace("\\&", "").replace("\\-", "-").replace("\\e", "\\")
    text = text.replace("\\(bu", "•").replace("\\(de", "°").replace("\\(en", "–")
    return " ".join(a.strip('"') for a in re.findall(r'"[^"]*"|\S+', text))


def term(line):
    """What a .TP's term line shows: two-letter font requests alternate
    their arguments with nothing between them."""
    m = re.match(r"^\.([A-Z]{1,2})(?: (.*))?$", line)
    if not m:
        return plain(line)
    args = [a[1:-1] if a.startswith('"') else a for a in re.findall(r'"[^"]*"|\S+', m.group(2) or "")]
    joined = ("" if len(m.group(1)) == 2 else " ").join(args)
    return plain(joined) if len(m.group(1)) == 1 else re.sub(r"\\f[BIRP]", "", joined).replace("\\-", "-")


def main():
    manual = sys.argv[1]
    with open(manual, encoding="utf-8") as f:
        page_html = f.read()
    text = html.unescape(re.sub(r"<[^>]+>", "", page_html))
    text = re.sub(r"[ \t]+", " ", text)
    faults = []
    if re.search(r"\\f[BIRP]|\\-|^\.[A-Z]", text, re.MULTILINE):
        faults.append("roff left in the manual")
    for page in sys.argv[2:]:
        with open(page, encoding="utf-8") as f:
            lines = f.read().split("\n")
        wanted, inside = [], False
        for i, line in enumerate(lines):
            if line == ".nf":
                inside = True
            elif line == ".fi":
                inside = False
            elif inside and not line.startswith("."):
                wanted.append(plain(line))
            elif line.startswith((".SH ", ".SS ")):
                wanted.append(plain(line[4:]))
            elif line == ".TP" and i + 1 < len(lines):
                wanted.append(term(lines[i + 1]))
        at = 0
        for w in wanted:
            w = re.sub(r"\s+", " ", w).strip()
            found = text.find(w, at)
            if found < 0:
                faults.append(f"{page}: '{w}' is not in the manual (or not in its place)")
            else:
                at = found + len(w)
    for f in faults:
        print(f"check-manual: {f}")
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
