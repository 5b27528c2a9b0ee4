#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package and checks it as a user's machine would take it:
# apt accepts it, it holds what it should, its menu entry is valid, and the
# packaged logger runs.
set -euo pipefail
cd "$(dirname "$0")/.."
# Arguments go to make-deb.sh (--from DIR: package a build already made).
deb=$(bash scripts/make-deb.sh "${@:-build-deb}" | tail -n 1)
echo "package: $deb"
apt-get install -s "$deb" >/dev/null

want=(./usr/bin/m797-tester ./usr/bin/m797-log ./usr/share/applications/m797-tester.desktop
      ./usr/share/icons/hicolor/scalable/apps/m797-tester.svg ./usr/share/icons/hicolor/48x48/apps/m797-tester.png
      ./usr/share/man/man1/m797-tester.1.gz ./usr/share/man/man1/m797-log.1.gz
      ./usr/share/man/ru/man1/m797-tester.1.gz ./usr/share/man/ru/man1/m797-log.1.gz
      ./usr/share/doc/m797-tester/copyright ./usr/share/doc/m797-tester/changelog.Debian.gz
      ./usr/share/m797-tester/manual-ru.html ./usr/share/doc/m797-tester/report-schema.json
      ./usr/share/mime/packages/m797-tester.xml)
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in "${want[@]}"; do
  grep -qxF "$f" <<<"$contents" || { echo "missing from the package: $f"; exit 1; }
done
[ "$(dpkg-deb -f "$deb" Architecture)" = "$(dpkg --print-architecture)" ]
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || { echo "no library dependencies"; exit 1; }
# Qt's own dialogs speak Russian only with Qt's translations installed.
dpkg-deb -f "$deb" Depends | grep -q 'qt6-translations-l10n' || { echo "no Qt translations dependency"; exit 1; }
# A maintainer with a name and an address that is no local placeholder.
dpkg-deb -f "$deb" Maintainer | grep -Eq '^[^<]+ <[^@<>]+@[^@<>.]+\.[^<>]+>$' &&
  ! dpkg-deb -f "$deb" Maintainer | grep -q '@localhost' || { echo "no real maintainer address"; exit 1; }

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/m797-tester.desktop"
# The recordings' type: the menu entry opens it, with the file's name, and
# the type's glob is the journal's recordings' ending.
python3 - "$root/usr/share/applications/m797-tester.desktop" "$root/usr/share/mime/packages/m797-tester.xml" <<'PY'
import sys
import xml.etree.ElementTree as ET
entry = dict(l.split("=", 1) for l in open(sys.argv[1], encoding="utf-8").read().splitlines() if "=" in l)
ns = {"m": "http://www.freedesktop.org/standards/shared-mime-info"}
types = ET.parse(sys.argv[2]).getroot().findall("m:mime-type", ns)
assert [t.get("type") for t in types] == ["application/x-m797-recording"], "not the recordings' type"
assert [g.get("pattern") for g in types[0].findall("m:glob", ns)] == ["*.m797"], "not the recordings' ending"
assert entry.get("MimeType") == "application/x-m797-recording;", "the menu entry does not open recordings"
assert entry.get("Exec", "").endswith(" %f"), "the menu entry is not given the file"
PY
version=$(dpkg-deb -f "$deb" Version)
[ "$("$root/usr/bin/m797-log" --version)" = "m797-log ${version%-*}" ]
[ "$("$root/usr/bin/m797-tester" --version)" = "m797-tester ${version%-*}" ]
out=$("$root/usr/bin/m797-log" --simulate --passes 1)
grep -q '^1,' <<<"$out" || { echo "the packaged logger printed no row"; exit 1; }
gzip -t "$root"/usr/share/man/man1/*.gz "$root"/usr/share/man/ru/man1/*.gz "$root"/usr/share/doc/m797-tester/changelog.Debian.gz
# The copyright file in the machine-readable form, with the licence named
# and stated, and the maintainer's contact filled in.
copyright="$root/usr/share/doc/m797-tester/copyright"
python3 - "$copyright" "$(dpkg-deb -f "$deb" Maintainer)" <<'PY'
import sys
text = open(sys.argv[1], encoding="utf-8").read()
paragraphs = [p for p in text.split("\n\n") if p.strip()]
fields = [dict(l.split(": ", 1) for l in p.splitlines() if ": " in l and not l.startswith(" ")) for p in paragraphs]
assert fields[0].get("Format") == "https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/", "not DEP-5"
assert fields[0].get("Upstream-Contact") == sys.argv[2], "the contact is not the maintainer"
files = [f for f in fields if "Files" in f]
assert files and all(f.get("License") == "GPL-3.0-or-later" for f in files), "files without the licence"
assert any(f.get("License") == "GPL-3.0-or-later" and "Files" not in f for f in fields), "the licence is not stated"
assert "GNU General Public License" in text and "@M797" not in text, "the file was not filled in"
PY
echo "package checked: $(basename "$deb")"
