#!/bin/sh
# Installs, builds and starts Tolmar. Without a display it starts under Xvfb.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec ./build/app/tolmar "$@"
fi
echo "No display found: starting Tolmar under Xvfb." >&2
exec xvfb-run -a -s "-screen 0 1280x800x24" ./build/app/tolmar "$@"
