#!/usr/bin/env bash
# Builds the Debian package korsi7_<version>_amd64.deb into build/package/
# from the normal build (scripts/build.sh normal), packed by CPack.
#   scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/build.sh normal
rm -f build/package/korsi7_*.deb
# CPack installs the normal build under /usr in a staging folder and packs it;
# dpkg-shlibdeps finds the libraries the programs need.
(cd build/normal && cpack -G DEB --config CPackConfig.cmake)
ls build/package/korsi7_*.deb
