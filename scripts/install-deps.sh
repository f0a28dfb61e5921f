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
  # The company archive's client (libpq) and the private PostgreSQL 15
  # cluster its tests start (scripts/pg-test-server.sh); openssl makes the
  # test certificates.
  libpq-dev postgresql-15 openssl
  # scripts/package.sh and scripts/package-check.sh build the Debian package
  # and check it.
  dpkg-dev fakeroot file lintian desktop-file-utils appstream
  # scripts/stress-tests.sh keeps the processor busy beside the tests.
  stress-ng
  # scripts/build.sh windows: the MinGW-w64 cross compiler (posix threads,
  # which std::thread needs; GoogleTest comes from the googletest sources
  # above), and Wine to run the tests and korsi7-transfer.exe.
  g++-mingw-w64-x86-64-posix wine64
  # The desktop program for Windows: Qt's host tools (moc, rcc, uic) for the
  # cross-built Qt, zlib for MinGW (libxlsxwriter needs it), tclsh to make
  # the SQLite amalgamation from Debian's source, makensis for the installer,
  # and a window manager, xdotool and ImageMagick (its picture) for the
  # program's run under Wine on Xvfb.
  libz-mingw-w64-dev tcl nsis openbox xdotool imagemagick
)

# The Windows build compiles SQLite and libxlsxwriter from Debian's source
# packages (apt-get source), which needs a deb-src entry for the main
# archive. Where there is none, one is added beside the deb entry of this
# release's main archive, with the same address.
add_deb_src() {
  grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/ && return 1
  local codename found uri key
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  # One-line entries: "deb [options] URI bookworm main ..."
  found=$(grep -hsE "^deb( \[[^]]*\])? [^ ]+ $codename( |$)" /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
          | head -n 1)
  if [ -n "$found" ]; then
    echo "deb-src ${found#deb }" | $SUDO tee /etc/apt/sources.list.d/korsi7-deb-src.list >/dev/null
  else
    # deb822 entries: the stanza whose Suites name the release itself, with
    # its key (apt refuses two entries for one address with different keys).
    found=$(awk -v rel="$codename" '
        /^$/ { if (hit) exit; u = ""; k = "" }
        /^URIs:/ { u = $2 }
        /^Signed-By:/ { k = $2 }
        /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == rel) hit = 1 }
        END { if (hit && u != "") print u, k }' /etc/apt/sources.list.d/*.sources 2>/dev/null)
    [ -n "$found" ] || { echo "install-deps: no deb entry for $codename to add a deb-src beside" >&2; return 1; }
    read -r uri key <<<"$found"
    { printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\n' "$uri" "$codename"
      [ -z "$key" ] || printf 'Signed-By: %s\n' "$key"
    } | $SUDO tee /etc/apt/sources.list.d/korsi7-deb-src.sources >/dev/null
  fi
  echo "install-deps: added a deb-src entry for $codename"
}

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
updated=0
if add_deb_src; then
  $SUDO apt-get update
  updated=1
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "All packages are installed."
  exit 0
fi

[ "$updated" -eq 1 ] || $SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
