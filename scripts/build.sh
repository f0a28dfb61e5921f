#!/usr/bin/env bash
# Configures and builds one flavour of the project.
#   scripts/build.sh normal|asan|tsan|fuzz|windows
set -euo pipefail
cd "$(dirname "$0")/.."

flavour=${1:-normal}
targets=()
case "$flavour" in
  normal) extra=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  asan)   extra=(-DCMAKE_BUILD_TYPE=Debug -DKORSI_SANITIZE=address,undefined) ;;
  # The thread sanitizer runs the threaded tests of the libraries without widgets.
  tsan)   extra=(-DCMAKE_BUILD_TYPE=Debug -DKORSI_SANITIZE=thread -DKORSI_WITH_GUI=OFF) ;;
  # libFuzzer needs clang; only the fuzz targets are built (scripts/fuzz.sh runs them).
  fuzz)   extra=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++-14 -DKORSI_FUZZ=ON -DKORSI_WITH_GUI=OFF)
          targets=(--target fuzzers) ;;
  # Cross-built with MinGW-w64: the libraries without Qt, korsi7-transfer.exe
  # and the tests without Qt, which CTest runs under Wine.
  windows) extra=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake) ;;
  *) echo "unknown build flavour: $flavour" >&2; exit 2 ;;
esac

# A compiler cache, when installed, makes rebuilds cheap, also in another
# clone of the project: paths are hashed relative to the project's top and
# the build folder's own path is left out.
if command -v ccache >/dev/null 2>&1; then
  extra+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
  export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
fi

cmake -S . -B "build/$flavour" -G Ninja "${extra[@]}"
if [ "$flavour" = windows ]; then
  # The build's own Wine prefix is made once here, before the test discovery
  # starts test programs under Wine two at a time.
  wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
  # One Wine server for the test discovery and the tests that follow, which
  # start hundreds of programs: a server that stops 3 s after a program ends
  # can be stopping just as the next one connects, and that one fails at
  # once. This one stays until 60 s after the last program has ended (a
  # server already running for the prefix is kept).
  wineserver=/usr/lib/wine/wineserver64
  [ -x "$wineserver" ] || wineserver=$(command -v wineserver)
  mkdir -p build/windows/wine-prefix
  WINEPREFIX=$PWD/build/windows/wine-prefix "$wineserver" -p60 2>/dev/null || true
  WINEPREFIX=$PWD/build/windows/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= \
    "$wine" wineboot --init >/dev/null 2>&1
fi
cmake --build "build/$flavour" -j "$(nproc)" "${targets[@]}"
