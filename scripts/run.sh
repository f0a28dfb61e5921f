#!/usr/bin/env bash
# Starts the desktop program:  scripts/run.sh [working folder]
# Installs what it needs, builds the program, prepares the working folder
# (default build/run) with a kestro.conf when it has none, and starts the
# program there. The program finds its files in the folder it is started
# from; the configuration it writes back at exit stays for the next run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build/normal -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/normal -j "$(nproc)" --target korsi7

work=$(realpath -m "${1:-build/run}")
mkdir -p "$work"
if [ ! -e "$work/kestro.conf" ]; then
  printf 'log_file korsi7.log\ndefault_comport 1\n' >"$work/kestro.conf"
fi
program=$(realpath build/normal/ui/korsi7)
cd "$work"
exec "$program"
