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
    local want="g++-mingw-w64-x86-64-posix googletest wine64 cmake make libcli11-dev"
    [ $CORE_ONLY = 1 ] || want="$want ninja-build ccache nsis zip dpkg-dev qt6-base-dev qt6-base-dev-tools fonts-dseg"
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
    if [ -z "$(apt-cache showsrc "$package" 2>/dev/null)" ]; then
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

# Only the modules and features the program uses. Tablets are left out:
# Debian's source drops the Wintab header the Windows plugin needs for them.
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
        -no-feature-qmake -no-feature-tabletevent \
        -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DQT_USE_CCACHE=ON \
           -DQt6HostInfo_DIR=/usr/lib/$(gcc -dumpmachine)/cmake/Qt6HostInfo)
    cmake --build "$CACHE/qtbase-build" --parallel "$JOBS"
    cmake --install "$CACHE/qtbase-build"
    touch "$prefix/.built"
    echo "build-windows: Qt built in $(( (SECONDS - started) / 60 )) min"
}

# QCustomPlot (the trend's plot) from Debian's source package, with the CMake
# files Debian's patches add, as a static library into the Windows Qt prefix.
build_qcustomplot() {
    [ -f "$CACHE/qt/.qcustomplot" ] && return
    debian_source qcustomplot qcustomplot
    rm -rf "$CACHE/qcustomplot-build"
    cmake -S "$CACHE/src/qcustomplot" -B "$CACHE/qcustomplot-build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release -DUSE_QT_VERSION=6 \
        -DBUILD_SHARED_LIBS=OFF -DCMAKE_PREFIX_PATH="$CACHE/qt" -DQT_HOST_PATH=/usr \
        -DCMAKE_INSTALL_PREFIX="$CACHE/qt" -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
    cmake --build "$CACHE/qcustomplot-build" --parallel "$JOBS"
    cmake --install "$CACHE/qcustomplot-build"
    touch "$CACHE/qt/.qcustomplot"
}

# The Qt-free libraries, tolmar-cli and the core tests (no Qt), linked
# statically; the tests run under Wine (ctest runs them through wine64).
build_core() {
    cmake -S . -B build-windows-core -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTOLMAR_BUILD_GUI=OFF -DBUILD_TESTING=ON -DTOLMAR_WERROR=ON $LAUNCHER
    cmake --build build-windows-core --parallel "$JOBS"
}

# The window and the CLI with the Windows Qt.
build_program() {
    # -O2, as the Linux build: GCC 12's -O3 warns falsely (-Wrestrict) inside
    # std::string.
    cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
        -DTOLMAR_BUILD_GUI=ON -DBUILD_TESTING=OFF -DTOLMAR_WERROR=ON $LAUNCHER \
        -DCMAKE_PREFIX_PATH="$CACHE/qt" -DQT_HOST_PATH=/usr \
        -DQt6HostInfo_DIR=/usr/lib/$(gcc -dumpmachine)/cmake/Qt6HostInfo
    cmake --build build-windows --parallel "$JOBS" --target tolmar tolmar-cli
}

# build-windows/dist: bin/ with the programs, every DLL they load that
# Windows does not have, Qt's plugins and the segment fonts; share/ with the
# user guide, where Help finds it from bin/ as on Linux.
deploy() {
    local dist=build-windows/dist bin=build-windows/dist/bin
    rm -rf "$dist" && mkdir -p "$bin"
    cp build-windows/app/tolmar.exe build-windows/cli/tolmar-cli.exe "$bin/"
    local qt=$CACHE/qt
    for p in platforms/qwindows styles/qwindowsvistastyle imageformats/qico imageformats/qjpeg; do
        [ -f "$qt/plugins/$p.dll" ] || continue
        mkdir -p "$bin/$(dirname $p)" && cp "$qt/plugins/$p.dll" "$bin/$p.dll"
    done
    # The DLLs every program and plugin imports, found in the Windows Qt and
    # the mingw runtime, until nothing new comes in; what is in none of them
    # must be one of Windows' own (the Wine prefix's system32 lists them, and
    # the loader's API sets are no files).
    local runtime
    runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
    local search=("$qt/bin" "$runtime" /usr/x86_64-w64-mingw32/lib /usr/lib/gcc/x86_64-w64-mingw32/*-posix)
    local system32=$WINEPREFIX/drive_c/windows/system32
    local changed=1 missing=""
    while [ $changed = 1 ]; do
        changed=0
        for f in $(find "$bin" -name '*.exe' -o -name '*.dll'); do
            for dll in $(x86_64-w64-mingw32-objdump -p "$f" | sed -n 's/^\s*DLL Name: //p'); do
                [ -f "$bin/$dll" ] && continue
                # API sets: names the Windows loader resolves itself, never files.
                case $dll in api-ms-win-*|ext-ms-win-*) continue ;; esac
                local found=""
                for d in "${search[@]}"; do
                    [ -f "$d/$dll" ] && { found="$d/$dll"; break; }
                done
                if [ -n "$found" ]; then
                    cp "$found" "$bin/" && changed=1
                elif [ -z "$(find "$system32" -maxdepth 1 -iname "$dll" -print -quit)" ]; then
                    missing="$missing $dll(${f##*/})"
                fi
            done
        done
    done
    if [ -n "$missing" ]; then
        echo "build-windows: DLLs found nowhere:$missing" >&2
        exit 1
    fi
    mkdir -p "$bin/fonts"
    cp /usr/share/fonts/truetype/dseg/DSEG7Classic-Regular.ttf /usr/share/fonts/truetype/dseg/DSEG7Classic-Bold.ttf \
       /usr/share/fonts/truetype/dseg/DSEG14Classic-Regular.ttf /usr/share/fonts/truetype/dseg/DSEG14Classic-Bold.ttf \
       "$bin/fonts/"
    mkdir -p "$dist/share/doc/tolmar/guide/images"
    cp docs/guide/*.html docs/guide/*.css "$dist/share/doc/tolmar/guide/"
    sed -i 's|\.\./images/|images/|g' "$dist/share/doc/tolmar/guide/"*.html
    for image in $(grep -ho 'images/[^"]*' "$dist/share/doc/tolmar/guide/"*.html | sort -u); do
        cp "docs/$image" "$dist/share/doc/tolmar/guide/$image"
    done
    cp LICENSE "$dist/LICENSE.txt"
    cp packaging/windows/README.txt "$dist/README.txt"
}

package() {
    local version
    version=$(sed -n 's/^project(Tolmar VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
    local zip=build-windows/tolmar-$version-windows-x86_64.zip
    rm -f "$zip"
    (cd build-windows/dist && zip -qr -X "../${zip##*/}" .)
    makensis -V2 -DVERSION="$version" -DDIST="$ROOT/build-windows/dist" \
        -DOUTFILE="$ROOT/build-windows/tolmar-$version-setup.exe" packaging/windows/tolmar.nsi
    echo "build-windows: $zip and build-windows/tolmar-$version-setup.exe"
}

# The Wine prefix the tests and checks run in. Its Windows user keeps the
# times of day in 24 hours ("HH:mm:ss", as en-GB does), as the Linux tests
# run in the C locale; Wine's default user (en-US) would add AM and PM.
wine_prefix() {
    if [ ! -f "$WINEPREFIX/.tolmar" ]; then
        mkdir -p "$(dirname "$WINEPREFIX")" # Wine makes the prefix, not its parents
        /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1 || true
        /usr/lib/wine/wine64 reg add 'HKCU\Control Panel\International' /v sTimeFormat /d HH:mm:ss /f >/dev/null
        touch "$WINEPREFIX/.tolmar"
    fi
}

install_tools
LAUNCHER=""
command -v ccache >/dev/null && LAUNCHER="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
# Wine keeps file names in the Unix locale's character set: UTF-8 for names
# beyond ASCII.
export WINEPREFIX=${WINEPREFIX:-$ROOT/.cache/windows/wine} WINEDEBUG=${WINEDEBUG:--all} LC_ALL=C.UTF-8
wine_prefix
if [ $CORE_ONLY = 1 ]; then
    build_core
    exit 0
fi
build_qt
build_qcustomplot
build_program
deploy
package
