#!/bin/bash
# Cross-builds Tolmar for 64-bit Windows on Debian 12 with Debian's mingw-w64.
#
# Qt for Windows is built here from Debian's own source packages of the Qt
# the Linux build uses (apt-get source, with a deb-src entry added when none
# is there), with Debian's host Qt tools, into .cache/windows/. Only the
# first run builds Qt (about NN minutes on 2 cores); later runs reuse it.
#
# Out: build-windows/dist/ (tolmar.exe, tolmar-cli.exe, the DLLs and plugins
# they load), build-windows/tolmar-<version>-windows-x86_64.zip and
# build-windows/tolmar-<version>-setup.exe (NSIS: Start menu entry,
# uninstaller). scripts/check-windows.sh tries them under Wine.
#
#   scripts/build-windows.sh            everything
#   scripts/build-windows.sh --core     the Qt-free libraries, tolmar-cli and
#                                       the core tests only (no Qt needed; CI)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
CACHE=$ROOT/.cache/windows
TOOLCHAIN=$ROOT/cmake/mingw-w64-x86_64.cmake
JOBS=$(nproc)
CORE_ONLY=0
[ "${1:-}" = "--core" ] && CORE_ONLY=1

if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi

install_tools() {
    local want="g++-mingw-w64-x86-64-posix wine64 cmake make ninja-build ccache"
    [ $CORE_ONLY = 1 ] || want="$want nsis zip dpkg-dev qt6-base-dev qt6-base-dev-tools"
    local missing=""
    for p in $want; do dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"; done
    if [ -n "$missing" ]; then
        $SUDO apt-get update
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
    fi
}

# Debian's source of a package, unpacked with Debian's patches, into $CACHE/src/<dir>.
debian_source() {
    local package=$1 dir=$2
    [ -d "$CACHE/src/$dir" ] && return
    mkdir -p "$CACHE/src"
    if ! apt-cache showsrc "$package" >/dev/null 2>&1 || [ -z "$(apt-cache showsrc "$package" 2>/dev/null)" ]; then
        . /etc/os-release
        echo "Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $VERSION_CODENAME $VERSION_CODENAME-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" | $SUDO tee /etc/apt/sources.list.d/tolmar-deb-src.sources >/dev/null
        $SUDO apt-get update
    fi
    (cd "$CACHE/src" && apt-get source -q --download-only "$package=$(host_version "$package")")
    local dsc
    dsc=$(ls "$CACHE/src/${package}_"*.dsc | head -1)
    (cd "$CACHE/src" && dpkg-source -x "$dsc" "$dir")
}

# The version of the source package behind the installed host Qt, so the
# Windows Qt is the same release.
host_version() {
    case $1 in
        qt6-base) dpkg-query -W -f='${source:Version}' libqt6core6 ;;
        qcustomplot) dpkg-query -W -f='${source:Version}' libqcustomplot2.1 ;;
    esac
}

build_qt() {
    local prefix=$CACHE/qt
    [ -f "$prefix/.built" ] && return
    debian_source qt6-base qtbase
    local started=$SECONDS
    rm -rf "$CACHE/qtbase-build" && mkdir -p "$CACHE/qtbase-build"
    (cd "$CACHE/qtbase-build" && "$CACHE/src/qtbase/configure" \
        -prefix "$prefix" -release -opensource -confirm-license \
        -xplatform win32-g++ -qt-host-path /usr \
        -nomake examples -nomake tests -no-opengl -no-dbus -no-zstd -no-icu \
        -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz -qt-doubleconversion \
        -no-feature-sql -no-feature-network -no-feature-testlib -no-feature-xml \
        -no-feature-concurrent -no-feature-vulkan \
        -no-feature-qmake \
        -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DQT_USE_CCACHE=ON \
           -DQt6HostInfo_DIR=/usr/lib/$(gcc -dumpmachine)/cmake/Qt6HostInfo)
    cmake --build "$CACHE/qtbase-build" --parallel "$JOBS"
    cmake --install "$CACHE/qtbase-build"
    touch "$prefix/.built"
    echo "build-windows: Qt built in $(( (SECONDS - started) / 60 )) min"
}

install_tools
if [ $CORE_ONLY = 0 ]; then
    build_qt
fi
