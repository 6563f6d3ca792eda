#!/bin/sh
# Installs what Tolmar needs to build, run and test on Debian 12 or Ubuntu.
# Safe to run again: apt-get skips what is already there.
# qt6-charts-dev needs the Qt OpenGL development files but does not pull them
# in without recommends, hence libqt6opengl6-dev. libqcustomplot-dev (Debian's
# QCustomPlot, built for Qt 6 as well) draws the trend, qt6-svg-dev saves it as
# SVG; libqcustomplot-dev also pulls Qt 5's development files, which we do not
# use. libcli11-dev (header-only)
# parses tolmar-cli's options. clang-14 with its runtime
# (libclang-rt-14-dev: libFuzzer and the sanitizers) builds the fuzz targets
# of scripts/fuzz.sh; llvm-14 brings llvm-symbolizer for their stacks.
# dpkg-dev (dpkg-shlibdeps), file and lintian make and check the Debian
# package (scripts/package.sh); desktop-file-utils, appstream, groff-base and
# man-db check the desktop entry, the AppStream data and the manual pages.
# g++-mingw-w64-x86-64-posix, googletest (GoogleTest's sources) and wine64
# cross-build the Qt-free part and its tests for Windows and run them
# (scripts/build-windows.sh --core); the window for Windows needs more
# (scripts/build-windows.sh installs it).
# scripts/check-fresh-machine.sh proves this list on a fresh Debian 12.
set -eu

if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi

$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends \
    cmake make g++ pkg-config \
    qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev qt6-svg-dev libqcustomplot-dev \
    libudev-dev libcli11-dev \
    libgtest-dev libgmock-dev libbenchmark-dev \
    locales fonts-dseg fonts-dejavu-core fonts-liberation2 \
    xvfb xauth poppler-utils \
    clang-14 libclang-rt-14-dev llvm-14 \
    dpkg-dev file lintian desktop-file-utils appstream groff-base man-db \
    g++-mingw-w64-x86-64-posix googletest wine64
