#!/bin/sh
# Makes the Debian package, tolmar_<version>_<arch>.deb, and checks it with
# lintian.
#   scripts/package.sh            builds into build-package/ (Release, no tests)
#   scripts/package.sh BUILD_DIR  packages a build that is already there, e.g.
#                                 build/ after scripts/test.sh, so the package
#                                 holds the very binaries the tests ran
# The package lands in BUILD_DIR/package/; its path is the last line printed.
# Install it with: sudo apt-get install ./BUILD_DIR/package/tolmar_*.deb
# Needs dpkg-dev (dpkg-shlibdeps) and lintian: scripts/install-deps.sh.
set -eu
cd "$(dirname "$0")/.."

if [ $# -gt 1 ]; then
    echo "usage: scripts/package.sh [BUILD_DIR]" >&2
    exit 2
fi
if [ $# -eq 1 ]; then
    build=$1
    if [ ! -f "$build/CPackConfig.cmake" ]; then
        echo "package.sh: $build holds no configured build (no CPackConfig.cmake)" >&2
        exit 1
    fi
else
    build=build-package
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTOLMAR_WERROR=ON \
        -DBUILD_TESTING=OFF -DTOLMAR_BUILD_BENCH=OFF
fi
cmake --build "$build" --parallel "$(nproc)"

rm -rf "$build/package"
# cpack installs the build into a staging tree, strips it, runs
# dpkg-shlibdeps on the binaries and packs the tree with the control files.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$build/package" >"$build/cpack.log" 2>&1 || {
    cat "$build/cpack.log" >&2
    exit 1
}
deb=$(ls "$build"/package/tolmar_*.deb)

if command -v lintian >/dev/null 2>&1; then
    # Errors fail the package; the warnings and notes left are named in the
    # README ("Install").
    lintian --fail-on error --display-info "$deb" >&2
else
    echo "package.sh: lintian is not installed, the package is not checked" >&2
fi
echo "$deb"
