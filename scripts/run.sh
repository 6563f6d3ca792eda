#!/bin/sh
# Installs, builds and starts Tolmar: on the meter when its cable is plugged
# in, else on the built-in simulated meter. Without a display it starts under
# Xvfb.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh
if ./build/cli/tolmar-cli devices | grep -q "The meter's cable is entry"; then
    set --
else
    echo "No meter cable found: starting Tolmar on the simulated meter." >&2
    set -- --simulate
fi
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec ./build/app/tolmar "$@"
fi
echo "No display found: starting Tolmar under Xvfb." >&2
exec xvfb-run -a -s "-screen 0 1280x800x24" ./build/app/tolmar "$@"
