# Cross-building for 64-bit Windows with Debian's mingw-w64 (posix threads,
# so std::thread and std::mutex work): scripts/build-windows.sh passes this
# file to Qt's build and to ours. Programs built here run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TOLMAR_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TOLMAR_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOLMAR_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOLMAR_MINGW_PREFIX}-windres)
set(CMAKE_AR ${TOLMAR_MINGW_PREFIX}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${TOLMAR_MINGW_PREFIX}-gcc-ranlib-posix CACHE FILEPATH "")

# Libraries and headers come from the mingw sysroot and the prefixes given
# in CMAKE_PREFIX_PATH (the Windows Qt in .cache/); programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${TOLMAR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# Tests run through Wine (ctest runs each test as `wine64 test.exe ...`).
find_program(TOLMAR_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(TOLMAR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TOLMAR_WINE})
endif()
