#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12 (as root).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends \
  build-essential cmake ninja-build pkg-config \
  clang clang-format libclang-rt-14-dev \
  libgtest-dev libgmock-dev libbenchmark-dev \
  qt6-base-dev libqt6opengl6-dev libgl-dev libglu1-mesa-dev libjpeg-dev \
  libgl1-mesa-dri fonts-liberation \
  xvfb xauth x11-utils imagemagick xdotool openbox python3 \
  dpkg-dev desktop-file-utils \
  g++-mingw-w64-x86-64-posix wine wine64 >/dev/null
