#!/bin/sh
# Configures and builds Tolmar into build/ (extra arguments go to cmake).
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build build --parallel "$(nproc)"
