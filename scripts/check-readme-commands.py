#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The Russian README gives the same commands as the English one: every line
of its code blocks stands in a code block of README.md (their comments
aside), and the quick start's
commands (the two set-up commands) are in both.

    check-readme-commands.py README.md README.ru.md"""
import re
import sys


def blocks(path):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    # A comment after a command is in the reader's language.
    return [[re.sub(r"\s+#\s.*$", "", line) for line in b.strip("\n").split("\n")]
            for b in re.findall(r"^```[a-z]*\n(.*?)^```", text, re.MULTILINE | re.DOTALL)]


def main():
    english, russian = blocks(sys.argv[1]), blocks(sys.argv[2])
    known = {line for b in english for line in b}
    faults = [f"'{line}' is in {sys.argv[2]} but in no code block of {sys.argv[1]}"
              for b in russian for line in b if line not in known]
    said = {line for b in russian for line in b}
    for line in english[0] + english[1]:  # the quick start
        if line not in said:
            faults.append(f"the quick start's '{line}' is missing from {sys.argv[2]}")
    if not russian:
        faults.append(f"{sys.argv[2]} has no commands")
    for f in faults:
        print(f"check-readme-commands: {f}")
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
