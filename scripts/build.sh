#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Configures and builds into build/ (or the folder given as $1); with
# M797_UNITY_BUILD=ON the program's sources in batches (a build from nothing).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DM797_UNITY_BUILD="${M797_UNITY_BUILD:-OFF}" "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
