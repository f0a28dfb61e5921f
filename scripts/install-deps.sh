#!/usr/bin/env bash
# Installs every Debian 12 package the project needs to build, test and run.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config ccache
  clang-14 libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libqt6sql6-sqlite
  libsqlite3-dev sqlite3 libxlsxwriter-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core fonts-liberation
  xvfb xauth
  # Tests read the spreadsheet export back with openpyxl, read the printed
  # report's PDF with poppler, and write numbers under a Russian locale.
  python3-openpyxl poppler-utils locales
  # scripts/package.sh and scripts/package-check.sh build the Debian package
  # and check it.
  dpkg-dev fakeroot file lintian desktop-file-utils appstream
  # scripts/stress-tests.sh keeps the processor busy beside the tests.
  stress-ng
  # scripts/build.sh windows: the MinGW-w64 cross compiler (posix threads,
  # which std::thread needs; GoogleTest comes from the googletest sources
  # above), and Wine to run the tests and korsi7-transfer.exe.
  g++-mingw-w64-x86-64-posix wine64
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "All packages are installed."
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
