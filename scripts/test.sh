#!/bin/sh
# Installs, builds with warnings as errors, and runs every test.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh -DTOLMAR_WERROR=ON -DBUILD_TESTING=ON
cd build
# The window tests run offscreen: no display is needed.
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)" --timeout 300
