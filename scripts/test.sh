#!/bin/sh
# Installs, builds with warnings as errors, and runs every test.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh -DTOLMAR_WERROR=ON -DBUILD_TESTING=ON
cd build
# The window tests run offscreen: no display is needed.
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)" --timeout 300
cd ..

# The Debian package, made of the binaries the tests just ran, and lintian
# on it (build/package/tolmar_*.deb).
./scripts/package.sh build

# Every core suite that starts a thread (the CTest label "threads": HID
# readers and their hand-over, the simulated cable, workers over table
# snapshots, the CLI's live sessions, the soak tests) once more under
# ThreadSanitizer, in build-tsan. core_tests itself fails a test that starts
# a thread outside those suites, so none is left out.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLMAR_WERROR=ON -DTOLMAR_SANITIZE=thread \
    -DTOLMAR_BUILD_GUI=OFF -DTOLMAR_BUILD_BENCH=OFF -DBUILD_TESTING=ON
cmake --build build-tsan --parallel "$(nproc)" --target core_tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest --test-dir build-tsan --label-regex '^threads$' --no-tests=error --output-on-failure --parallel "$(nproc)" --timeout 900

# Everything once more under AddressSanitizer and UndefinedBehaviorSanitizer,
# the window tests included, with leak checks. Undefined behaviour stops the
# test like a crash. Leaks of the system's own libraries (not ours) are
# suppressed in scripts/lsan.supp, each with its reason. Warnings stay
# warnings here: g++ 12 warns falsely inside <regex> when instrumented.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLMAR_SANITIZE=address,undefined \
    -DTOLMAR_WERROR=OFF -DTOLMAR_BUILD_GUI=ON -DTOLMAR_BUILD_BENCH=OFF -DBUILD_TESTING=ON
cmake --build build-asan --parallel "$(nproc)"
cd build-asan
ASAN_OPTIONS="detect_leaks=1:strict_init_order=1" \
LSAN_OPTIONS="suppressions=$PWD/../scripts/lsan.supp:print_suppressions=0" \
UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
QT_QPA_PLATFORM=offscreen \
    ctest --output-on-failure --parallel "$(nproc)" --timeout 900

# Windows: the Qt-free libraries, tolmar-cli and the core tests cross-built
# with mingw-w64 and run under Wine, each test through wine64 as ctest lists
# them (scripts/build-windows.sh --core; the Wine prefix is made once, in
# .cache/windows/wine, and Wine needs a UTF-8 locale for file names beyond
# ASCII).
cd ..
./scripts/build-windows.sh --core
WINEPREFIX="$PWD/.cache/windows/wine" WINEDEBUG=-all LC_ALL=C.UTF-8 \
    ctest --test-dir build-windows-core --output-on-failure --parallel "$(nproc)" --timeout 600
