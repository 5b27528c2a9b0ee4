#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks a GoogleTest XML report: it exists (GoogleTest writes it only when
the program reaches its end), tests ran, and none failed.

usage: gtest-finished.py REPORT.xml
"""
import sys
import xml.etree.ElementTree as ET


def main() -> int:
    path = sys.argv[1]
    try:
        root = ET.parse(path).getroot()
    except (OSError, ET.ParseError) as e:
        print(f"{path}: no finished test report ({e}): the program ended before its last test")
        return 1
    ran = sum(1 for case in root.iter("testcase") if case.get("status", "run") == "run")
    failed = int(root.get("failures", "0")) + int(root.get("errors", "0"))
    if ran == 0 or failed:
        print(f"{path}: {ran} tests ran, {failed} failed")
        return 1
    print(f"{path}: {ran} tests ran and passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
