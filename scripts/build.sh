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
  # Cross-built with MinGW-w64: korsi7.exe, korsi7-transfer.exe and the
  # tests, which CTest runs under Wine; then the runnable folder
  # build/windows/korsi7 (docs/windows.md).
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

if [ "$flavour" = windows ]; then
  # Qt for MinGW-w64: the archive made by build-qt-mingw.sh (in
  # ../shared/toolchains beside the project, or KORSI_QT_ARCHIVE), checked
  # against its SHA256SUMS and unpacked into the build tree once.
  qt_archive=${KORSI_QT_ARCHIVE:-../shared/toolchains/qt-6.4.2-mingw-w64-x86_64.tar.xz}
  qt_name=$(basename "$qt_archive" .tar.xz)
  qt_dir=build/windows/qt
  if [ -f "$qt_archive" ]; then
    sums=$(dirname "$qt_archive")/SHA256SUMS
    sum=$(sha256sum "$qt_archive" | cut -d' ' -f1)
    if [ -f "$sums" ] && ! grep -q "^$sum  $(basename "$qt_archive")\$" "$sums"; then
      echo "build.sh: $qt_archive does not match its checksum in $sums" >&2
      exit 1
    fi
    if [ "$(cat "$qt_dir/.unpacked" 2>/dev/null)" != "$sum" ]; then
      echo "build.sh: unpacking $qt_archive"
      rm -rf "$qt_dir"
      mkdir -p "$qt_dir"
      tar -xJf "$qt_archive" -C "$qt_dir"
      echo "$sum" >"$qt_dir/.unpacked"
    fi
    extra+=(-DKORSI_QT_PREFIX="$PWD/$qt_dir/$qt_name" -DKORSI_WITH_GUI=ON)
  else
    cat >&2 <<EOF
build.sh: Qt for Windows is not at $qt_archive,
so the Windows build is made without the desktop program (korsi7.exe).
Make the archive once (about 45 minutes on two cores, 3 GB of space; needs
deb-src entries for Debian's main archive, which scripts/install-deps.sh adds)
with build-qt-mingw.sh from the shared toolchains folder:
    build-qt-mingw.sh <work folder> <output folder>
then run
    KORSI_QT_ARCHIVE=<output folder>/qt-6.4.2-mingw-w64-x86_64.tar.xz scripts/build.sh windows
EOF
    extra+=(-DKORSI_QT_PREFIX= -DKORSI_WITH_GUI=OFF)
  fi
  # SQLite and libxlsxwriter for Windows, made once per machine and version.
  deps=$(scripts/windows-deps.sh | paste -sd ';')
  extra+=(-DKORSI_WINDOWS_DEPS="$deps")
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
if [ "$flavour" = windows ] && [ -f build/windows/ui/korsi7.exe ]; then
  scripts/windows-folder.sh build/windows
fi
