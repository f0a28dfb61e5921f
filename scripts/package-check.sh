#!/usr/bin/env bash
# Checks the Debian package that scripts/package.sh built, as a user gets it:
# lintian, the menu entry and the metainfo validators; then installs it on
# this machine, runs the installed programs (the command-line transfer against
# the installed simulator, the desktop program offscreen with a fresh home),
# removes it and checks that the user's files stay. Needs root (or sudo) for
# apt-get. The last line is the summary.
#   scripts/package-check.sh
set -uo pipefail
cd "$(dirname "$0")/.."

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

passed=0
failed=0
check() {  # check <what> <command...>
  local what=$1
  shift
  local out
  if out=$("$@" 2>&1); then
    passed=$((passed + 1))
    echo "ok   $what"
  else
    failed=$((failed + 1))
    echo "FAIL $what"
    printf '%s\n' "$out" | sed 's/^/     /'
  fi
}

debs=(build/package/korsi7_*_amd64.deb)
if [ ! -f "${debs[0]}" ]; then
  echo "package-check: no build/package/korsi7_*_amd64.deb; run scripts/package.sh first" >&2
  echo "package check: 0 passed, 1 failed"
  exit 1
fi
deb=${debs[0]}
version=$(dpkg-deb -f "$deb" Version)
work=$(mktemp -d)
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT

# Lintian: errors fail; warnings are shown. The package's own overrides apply.
lintian_clean() {
  local out
  out=$(lintian --tag-display-limit 0 "$deb" 2>&1)
  printf '%s\n' "$out"
  ! printf '%s\n' "$out" | grep -q '^E: '
}
check "lintian finds no errors" lintian_clean
check "dependencies hold nothing from the build" \
  bash -c "! dpkg-deb -f '$deb' Depends | tr ',' '\n' | grep -q -- '-dev'"

dpkg-deb -x "$deb" "$work/root"
check "menu entry is valid" desktop-file-validate "$work/root/usr/share/applications/ru.korsi.korsi7.desktop"
check "metainfo is valid" appstreamcli validate --no-net "$work/root/usr/share/metainfo/ru.korsi.korsi7.metainfo.xml"
check "metainfo carries the package's version" \
  grep -q "release version=\"$version\"" "$work/root/usr/share/metainfo/ru.korsi.korsi7.metainfo.xml"

check "package installs" $SUDO apt-get install -y --no-install-recommends "./$deb"
check "korsi7-transfer --version says $version" \
  bash -c "[ \"\$(/usr/bin/korsi7-transfer --version)\" = 'korsi7-transfer $version' ]"
check "korsi7 --version says $version" bash -c "[ \"\$(/usr/bin/korsi7 --version)\" = 'korsi7 $version' ]"
check "manual page is installed" test -f /usr/share/man/man1/korsi7-transfer.1.gz

# The installed transfer reads the installed simulator's archive.
read_from_simulator() {
  /usr/bin/korsi7-gauge-sim --count 20 >"$work/sim.txt" &
  sim_pid=$!
  local device=
  for _ in $(seq 50); do
    device=$(head -1 "$work/sim.txt" 2>/dev/null)
    [ -n "$device" ] && break
    sleep 0.1
  done
  [ -n "$device" ] || return 1
  (cd "$work" && timeout 120 /usr/bin/korsi7-transfer read --fast --quiet --port "$device" -o archive.csv) || return 1
  kill "$sim_pid"
  wait "$sim_pid" 2>/dev/null
  sim_pid=
  [ "$(wc -l <"$work/archive.csv")" -eq 21 ]  # the header and 20 measurements
}
check "installed korsi7-transfer reads the installed simulator" read_from_simulator

# The installed desktop program with a fresh home: it makes the per-user
# folder from the templates, starts and ends cleanly.
home="$work/home"
mkdir -p "$home"
start_installed() {
  (cd / && HOME="$home" XDG_DATA_HOME= QT_QPA_PLATFORM=offscreen timeout 60 /usr/bin/korsi7 --check-start) || return 1
  local f
  for f in kestro.conf korsi7.mdb korsi7.mdb.backup; do
    [ -s "$home/.local/share/korsi7/$f" ] || { echo "missing $f"; return 1; }
  done
}
check "installed korsi7 starts offscreen and makes ~/.local/share/korsi7" start_installed
check "a second start keeps the user's configuration" bash -c "
  echo 'log_file mine.log' >'$home/.local/share/korsi7/kestro.conf'
  echo 'default_comport 33' >>'$home/.local/share/korsi7/kestro.conf'
  cd / && HOME='$home' XDG_DATA_HOME= QT_QPA_PLATFORM=offscreen timeout 60 /usr/bin/korsi7 --check-start &&
  grep -qx 'default_comport 33' '$home/.local/share/korsi7/kestro.conf' && [ -f '$home/.local/share/korsi7/mine.log' ]"
check "training mode starts offscreen and leaves no trace in kestro.conf" bash -c "
  cd / && HOME='$home' XDG_DATA_HOME= QT_QPA_PLATFORM=offscreen timeout 60 /usr/bin/korsi7 --simulator --check-start &&
  ! grep -q '^COM200' '$home/.local/share/korsi7/kestro.conf' &&
  grep -qE '^default_comport[[:space:]]+33$' '$home/.local/share/korsi7/kestro.conf'"

check "package removes" $SUDO apt-get remove -y korsi7
check "the programs are gone" bash -c "[ ! -e /usr/bin/korsi7 ] && [ ! -e /usr/bin/korsi7-transfer ]"
check "the user's folder stays after removal" bash -c "
  [ -f '$home/.local/share/korsi7/kestro.conf' ] && [ -f '$home/.local/share/korsi7/korsi7.mdb' ]"

echo "package check: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
