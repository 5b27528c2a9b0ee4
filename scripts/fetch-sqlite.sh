#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Brings SQLite's amalgamation (sqlite3.c, sqlite3.h) for the Windows build
# into the folder given, from a pinned source this machine can reach: the
# npm registry's better-sqlite3 12.4.1, which carries SQLite 3.50.4's
# amalgamation unchanged in deps/sqlite3/. The archive is checked against its
# SHA-256 before anything is taken from it, and kept in the user's cache so
# that a second build downloads nothing. SQLite is in the public domain.
set -euo pipefail
dest=${1:?usage: fetch-sqlite.sh FOLDER}
url=https://registry.npmjs.org/better-sqlite3/-/better-sqlite3-12.4.1.tgz
sha256=14398acbf00d1e8fe0a2753df7d4f15c13138e4b874f4e6e96791f65b4536d0d
version=3.50.4
if [ -f "$dest/sqlite3.c" ] && grep -q "define SQLITE_VERSION  *\"$version\"" "$dest/sqlite3.h" 2>/dev/null; then
  exit 0
fi
cache=${XDG_CACHE_HOME:-$HOME/.cache}/m797-tester
archive=$cache/better-sqlite3-12.4.1.tgz
mkdir -p "$cache" "$dest"
if ! echo "$sha256  $archive" | sha256sum -c --status 2>/dev/null; then
  curl -fsSL --retry 3 -o "$archive.part" "$url"
  mv "$archive.part" "$archive"
  if ! echo "$sha256  $archive" | sha256sum -c --status; then
    echo "fetch-sqlite.sh: $url is not the archive pinned (SHA-256 differs); nothing taken" >&2
    rm -f "$archive"
    exit 1
  fi
fi
tar -xzf "$archive" -C "$dest" --strip-components=3 package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h
grep -q "define SQLITE_VERSION  *\"$version\"" "$dest/sqlite3.h"
