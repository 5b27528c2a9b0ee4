#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds a release of both programs and a Debian package of it (CPack, with
# the dependencies computed from the shared libraries by dpkg-shlibdeps).
# With --from DIR, packages the programs of a build already made in DIR
# instead (the tests package the normal build: the same install rules, and
# CPack strips the programs either way). The package's path is the last line
# printed. Building needs only what `scripts/install-deps.sh --package`
# installs.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = "--from" ]; then
  dir=${2:?"--from needs a build folder"}
  cmake --build "$dir" -j"$(nproc)" --target m797-tester m797-log m797_docs >/dev/null
else
  dir=${1:-build-deb}
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DM797_TESTS=OFF -DM797_BENCH=OFF
  cmake --build "$dir" -j"$(nproc)"
fi
(cd "$dir" && cpack -G DEB >/dev/null)
ls -t "$PWD/$dir"/m797-tester_*.deb | head -n 1
