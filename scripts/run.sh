#!/usr/bin/env bash
# Starts the desktop program:  scripts/run.sh [working folder]
# Installs what it needs, builds the program, prepares the working folder
# (default build/run) with a kestro.conf, the archive database korsi7.mdb and
# its backup korsi7.mdb.backup where they are missing, and starts the program
# there. The program finds its files in the folder it is started
# from; the configuration it writes back at exit stays for the next run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build/normal -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/normal -j "$(nproc)" --target korsi7 archive_backup

work=$(realpath -m "${1:-build/run}")
mkdir -p "$work"
if [ ! -e "$work/kestro.conf" ]; then
  printf 'log_file korsi7.log\ndefault_comport 1\n' >"$work/kestro.conf"
fi
# The program never creates its database: a missing one is restored from the
# backup with an error message, so a new folder gets both, the database as a
# copy of the empty backup.
if [ ! -e "$work/korsi7.mdb.backup" ]; then
  cp build/normal/korsi7.mdb.backup "$work/korsi7.mdb.backup"
fi
if [ ! -e "$work/korsi7.mdb" ]; then
  cp "$work/korsi7.mdb.backup" "$work/korsi7.mdb"
fi
program=$(realpath build/normal/ui/korsi7)
cd "$work"
exec "$program"
