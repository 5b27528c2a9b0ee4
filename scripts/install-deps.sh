#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what building, running and testing need on Debian 12 (as root);
# with --package only what building the programs and their package needs.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
# Building the programs and the package.
build=(build-essential cmake ninja-build pkg-config
  qt6-base-dev libqt6opengl6-dev libsqlite3-dev libgl-dev libglu1-mesa-dev libjpeg-dev dpkg-dev file)
# Running the tester, testing, the sanitizer and Windows builds.
rest=(clang clang-format libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libgl1-mesa-dri fonts-liberation qt6-translations-l10n
  xvfb xauth x11-utils imagemagick xdotool openbox python3
  desktop-file-utils gettext chromium poppler-utils python3-jsonschema
  g++-mingw-w64-x86-64-posix wine wine64 nsis curl ca-certificates)
[ "${1:-}" = "--package" ] && rest=()
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${build[@]}" "${rest[@]}" >/dev/null
