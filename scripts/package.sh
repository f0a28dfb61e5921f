#!/usr/bin/env bash
# Builds the installable package:
#   scripts/package.sh           the Debian package korsi7_<version>_amd64.deb
#                                into build/package/ from the normal build,
#                                packed by CPack
#   scripts/package.sh windows   the Windows installer
#                                build/package/korsi7-<version>-setup.exe from
#                                the Windows build's runnable folder, made by
#                                NSIS (packaging/windows/korsi7.nsi)
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-deb}" = windows ]; then
  scripts/build.sh windows
  folder=build/windows/korsi7
  [ -f "$folder/korsi7.exe" ] || { echo "package.sh: no $folder/korsi7.exe (is Qt for Windows there?)" >&2; exit 1; }
  version=$(sed -n 's/^#define KORSI_VERSION "\(.*\)"/\1/p' build/windows/generated/korsi_version.h)
  mkdir -p build/package
  setup=$PWD/build/package/korsi7-$version-setup.exe
  rm -f "$setup"
  makensis -V2 -DVERSION="$version" -DSOURCE="$PWD/$folder" -DOUTFILE="$setup" packaging/windows/korsi7.nsi
  ls "$setup"
  exit 0
fi

scripts/build.sh normal
rm -f build/package/korsi7_*.deb
# CPack installs the normal build under /usr in a staging folder and packs it;
# dpkg-shlibdeps finds the libraries the programs need.
(cd build/normal && cpack -G DEB --config CPackConfig.cmake)
ls build/package/korsi7_*.deb
