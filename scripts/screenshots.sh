#!/usr/bin/env bash
# Saves a picture of every window of the desktop program, drawn on a virtual
# X display, for a person to look at:  scripts/screenshots.sh [folder]
# Window frames and title bars appear when a window manager (openbox) is
# installed; without one the windows' contents are still shown.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build/screenshots}")
mkdir -p "$out"
cmake -S . -B build/normal -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/normal -j 2 --target korsi7_screens
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  if command -v openbox >/dev/null; then openbox >/dev/null 2>&1 & sleep 1; fi
  build/normal/ui/korsi7_screens "$0"' "$out"
