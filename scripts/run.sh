#!/usr/bin/env bash
# Starts the desktop program:  scripts/run.sh [--simulator] [working folder]
# Installs what it needs, builds the program, prepares the working folder
# (default build/run) with a kestro.conf, the archive database korsi7.mdb and
# its backup korsi7.mdb.backup where they are missing, and starts the program
# there. The program finds its files in the folder it is started
# from; the configuration it writes back at exit stays for the next run.
#
# With --simulator a simulated gauge with 500 measurements (korsi7-gauge-sim)
# answers on a pseudo-terminal while the program runs: kestro.conf gets the
# line "COM200 <its device>" and "default_comport 200", so "Найти устройство"
# finds it at once. The simulator stops when the program ends, and the COM200
# line goes with it, since its device no longer exists.
set -euo pipefail
cd "$(dirname "$0")/.."

simulator=0
if [ "${1:-}" = "--simulator" ]; then
  simulator=1
  shift
fi

targets=(korsi7 archive_backup)
if [ "$simulator" = 1 ]; then targets+=(korsi7-gauge-sim); fi

scripts/install-deps.sh
cmake -S . -B build/normal -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/normal -j "$(nproc)" --target "${targets[@]}"

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

if [ "$simulator" = 0 ]; then
  cd "$work"
  exec "$program"
fi

conf="$work/kestro.conf"
sim_out=$(mktemp)
sim_pid=
device=

# Rewrites kestro.conf through a file beside it: the first COM200 line and the
# first default_comport line are replaced in place (later ones dropped, since
# only the first counts), missing ones are added, every other line is kept.
# With an empty device the COM200 line is only removed.
set_simulator_port() {
  local tmp
  tmp=$(mktemp "$conf.XXXXXX")
  awk -v device="$1" -v port="$2" '
    $1 == "COM200" { if (!com && device != "") print "COM200 " device; com = 1; next }
    $1 == "default_comport" && port != "" { if (!dflt) print "default_comport " port; dflt = 1; next }
    { print }
    END {
      if (!com && device != "") print "COM200 " device
      if (!dflt && port != "") print "default_comport " port
    }' "$conf" >"$tmp"
  # mktemp makes the file private; the configuration keeps its own permissions.
  chmod --reference="$conf" "$tmp"
  mv "$tmp" "$conf"
}

stop_simulator() {
  local status=$?
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -f "$sim_out"
  # A stale pseudo-terminal number may later belong to another program's terminal.
  if [ -n "$device" ] && grep -qxF "COM200 $device" "$conf"; then set_simulator_port "" ""; fi
  exit "$status"
}
trap stop_simulator EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

build/normal/tools/gauge_sim/korsi7-gauge-sim --count 500 >"$sim_out" &
sim_pid=$!
for _ in $(seq 100); do
  IFS= read -r device <"$sim_out" || true
  [ -n "$device" ] && break
  if ! kill -0 "$sim_pid" 2>/dev/null; then
    echo "run.sh: the gauge simulator did not start" >&2
    exit 1
  fi
  sleep 0.1
done
if [ -z "$device" ]; then
  echo "run.sh: the gauge simulator did not tell its device" >&2
  exit 1
fi
set_simulator_port "$device" 200
echo "run.sh: simulated gauge with 500 measurements on $device (COM200)"

cd "$work"
"$program"
