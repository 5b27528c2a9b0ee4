#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the tester's 48-pixel icon from its SVG (needs rsvg-convert, Debian's
# librsvg2-bin). The PNG is kept in the tree, so building needs neither.
set -euo pipefail
cd "$(dirname "$0")/.."
rsvg-convert -w 48 -h 48 packaging/m797-tester.svg -o packaging/m797-tester-48.png
echo packaging/m797-tester-48.png
