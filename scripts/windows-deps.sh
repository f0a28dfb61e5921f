#!/usr/bin/env bash
# The libraries of the Windows build that Debian ships no MinGW build of,
# made from Debian's own source packages with the MinGW-w64 cross compiler
# and kept in a cache of this machine, one folder per version, so a second
# build (in this clone or another) does not make them again:
#   SQLite: the amalgamation of Debian's sqlite3 source, as a static library
#   libxlsxwriter: Debian's libxlsxwriter source against libz-mingw-w64, static
# Prints the two install folders, one per line (for CMAKE_FIND_ROOT_PATH).
#   scripts/windows-deps.sh
# Needs a deb-src entry for Debian's main archive (scripts/install-deps.sh
# adds one) and the packages that script installs. The cache is
# $KORSI_DEPS_CACHE, else $XDG_CACHE_HOME/korsi7/windows-deps, else
# ~/.cache/korsi7/windows-deps.
set -euo pipefail

cache=${KORSI_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/korsi7/windows-deps}
mingw=x86_64-w64-mingw32
cc=$mingw-gcc-posix
here=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$cache"

# The version apt-get source would fetch, from the package lists alone.
source_version() {
  local v
  v=$(apt-get source --print-uris "$1" 2>/dev/null | grep -oE "'[^']*/${1}_[^']*\\.dsc'" | head -n 1 \
      | sed -E "s/.*\\/${1}_(.*)\\.dsc'/\\1/; s/%2[bB]/+/g; s/%3[aA]/:/g")
  if [ -z "$v" ]; then
    echo "windows-deps: no source package $1 found: add a deb-src entry for Debian's main archive" \
         "(scripts/install-deps.sh does) and run apt-get update" >&2
    return 1
  fi
  echo "$v"
}

# Unpacks Debian's source of package $1 (Debian's patches applied) into $2.
fetch_source() {
  local package=$1 into=$2
  rm -rf "$into"
  mkdir -p "$into"
  (cd "$into" && apt-get source "$package" >fetch.log 2>&1) || { tail -n 20 "$into/fetch.log" >&2; return 1; }
}

build_sqlite() {
  local version prefix work src
  version=$(source_version sqlite3)
  prefix=$cache/sqlite3-$version
  if [ -f "$prefix/.done" ]; then echo "$prefix"; return; fi
  echo "windows-deps: building SQLite $version for Windows" >&2
  work=$(mktemp -d)
  fetch_source sqlite3 "$work"
  src=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'sqlite3-*' | head -n 1)
  # The amalgamation (one sqlite3.c) is made by the source's own tools, on
  # this machine; only that file is cross-compiled.
  mkdir -p "$work/amalgamation"
  (cd "$work/amalgamation" && "$src/configure" --disable-tcl >configure.log 2>&1 \
     && make -j"$(nproc)" sqlite3.c >make.log 2>&1) \
    || { tail -n 20 "$work/amalgamation/"*.log >&2; return 1; }
  rm -rf "$prefix"
  mkdir -p "$prefix/include" "$prefix/lib"
  # Serialized threading as Debian's own build; no loadable extensions
  # (the program loads none).
  "$cc" -O2 -c "$work/amalgamation/sqlite3.c" -o "$work/sqlite3.o" \
    -DSQLITE_THREADSAFE=1 -DSQLITE_ENABLE_COLUMN_METADATA -DSQLITE_OMIT_LOAD_EXTENSION
  "$mingw-ar" rcs "$prefix/lib/libsqlite3.a" "$work/sqlite3.o"
  cp "$work/amalgamation/sqlite3.h" "$prefix/include/"
  cp "$src/LICENSE.md" "$prefix/" 2>/dev/null || true
  echo "$version" >"$prefix/.done"
  rm -rf "$work"
  echo "$prefix"
}

build_xlsxwriter() {
  local version prefix work src
  version=$(source_version libxlsxwriter)
  prefix=$cache/libxlsxwriter-$version
  if [ -f "$prefix/.done" ]; then echo "$prefix"; return; fi
  echo "windows-deps: building libxlsxwriter $version for Windows" >&2
  work=$(mktemp -d)
  fetch_source libxlsxwriter "$work"
  src=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'libxlsxwriter-*' | head -n 1)
  rm -rf "$prefix"
  # zlib is Debian's libz-mingw-w64, linked statically as the rest.
  cmake -S "$src" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF \
    -DZLIB_INCLUDE_DIR=/usr/$mingw/include -DZLIB_LIBRARY=/usr/$mingw/lib/libz.a \
    >"$work/configure.log" 2>&1 || { tail -n 20 "$work/configure.log" >&2; return 1; }
  cmake --build "$work/build" -j"$(nproc)" >"$work/build.log" 2>&1 || { tail -n 20 "$work/build.log" >&2; return 1; }
  cmake --install "$work/build" >/dev/null
  cp "$src/License.txt" "$prefix/" 2>/dev/null || true
  echo "$version" >"$prefix/.done"
  rm -rf "$work"
  echo "$prefix"
}

build_sqlite
build_xlsxwriter
