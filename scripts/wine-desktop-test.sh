#!/usr/bin/env bash
# The desktop program for Windows as a user meets it, under Wine on a virtual
# display with Qt's windows platform:
#   1. korsi7.exe --simulator from its runnable folder: it makes the user's
#      %LOCALAPPDATA%\korsi7 from its templates, finds the training gauge and
#      reads it whole (--scenario read-all) into the archive there; a picture
#      of the screen is taken; Alt+F4 ends it and its configuration is the
#      user's again.
#   2. korsi7.exe against the simulated gauge of the Linux build on a
#      pseudo-terminal through COM5: the search and the whole read of 500,
#      with the time per measurement in the window (a figure, not a check).
#   3. The installer (scripts/package.sh windows) installs silently, puts its
#      files and Start-menu entries in place, the installed
#      korsi7-transfer.exe --version runs, and the silent uninstall removes
#      the programs and keeps the user's folder.
#   4. Every window of the program drawn by Qt's windows platform under Wine
#      (korsi7_screens.exe, as scripts/screenshots.sh does on Linux): the
#      grid with rows, the save, open and export dialogs, the report's
#      preview, the inspection window with a judged job, the boxes.
#   scripts/wine-desktop-test.sh [windows build] [linux build] [picture folder]
# Prints "wine-desktop: N passed, M failed". The pictures go to the picture
# folder (default <windows build>/shots).
set -uo pipefail
cd "$(dirname "$0")/.."

windows=$(realpath -m "${1:-build/windows}")
linux=$(realpath -m "${2:-build/normal}")
shots=$(realpath -m "${3:-$windows/shots}")
folder=$windows/korsi7
sim=$linux/tools/gauge_sim/korsi7-gauge-sim
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
version=$(sed -n 's/^#define KORSI_VERSION "\(.*\)"/\1/p' "$windows/generated/korsi_version.h" 2>/dev/null)
setup=$PWD/build/package/korsi7-$version-setup.exe

passed=0
failed=0
check() {  # check NAME COMMAND...: one line per check
  local name=$1; shift
  if "$@"; then echo "wine-desktop: $name: ok"; passed=$((passed + 1))
  else echo "wine-desktop: $name: FAILED"; failed=$((failed + 1)); fi
}
for f in "$folder/korsi7.exe" "$sim" "$wine"; do
  [ -e "$f" ] || { echo "wine-desktop: missing $f"; echo "wine-desktop: 0 passed, 1 failed"; exit 1; }
done

export WINEPREFIX=$windows/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
# The windows platform, not the offscreen one the tests use.
unset QT_QPA_PLATFORM
mkdir -p "$shots"
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
  rm -f "$WINEPREFIX/dosdevices/com5"
  rm -rf "$work"
}
trap cleanup EXIT

# A virtual display with a window manager (frames, Alt+F4).
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
pids+=($!)
# A server left running by the tests, which need no display, keeps a desktop
# of Wine's size without one (1024x768): a new server takes this display's.
"$wineserver" -k 2>/dev/null
"$wineserver" -w 2>/dev/null
WINEPREFIX=$WINEPREFIX "$wineserver" -p60 2>/dev/null || true
"$wine" cmd /c exit >/dev/null 2>&1 || true

user_profile=$("$wine" cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
localappdata=$("$wine" winepath -u "$user_profile" 2>/dev/null | tr -d '\r' || true)
[ -n "$localappdata" ] || localappdata=$WINEPREFIX/drive_c/users/$USER/AppData/Local
userdir=$localappdata/korsi7

# Runs korsi7.exe with the read-all scenario until its line comes (at most
# limit seconds); sets scenario_line and leaves the program running as
# korsi7_pid.
run_scenario() {
  local limit=$1 out=$2; shift 2
  "$wine" "$folder/korsi7.exe" "$@" --scenario read-all >"$out" 2>&1 &
  korsi7_pid=$!
  pids+=("$korsi7_pid")
  scenario_line=
  for _ in $(seq $((limit * 10))); do
    scenario_line=$(grep -a 'korsi7: scenario:' "$out" | head -n 1)
    [ -n "$scenario_line" ] && return
    if ! kill -0 "$korsi7_pid" 2>/dev/null; then
      wait "$korsi7_pid"
      echo "wine-desktop: korsi7.exe $* ended early with status $?" >>"$out"
      return
    fi
    sleep 0.1
  done
}

# Ends the program as a user would, by closing its main window; its exit status.
close_program() {
  local window
  window=$(xdotool search --onlyvisible --pid "$korsi7_pid" 2>/dev/null | tail -n 1)
  [ -n "$window" ] || window=$(xdotool search --onlyvisible --name 'измерений' 2>/dev/null | tail -n 1)
  [ -n "$window" ] && xdotool windowactivate --sync "$window" key --clearmodifiers alt+F4 2>/dev/null
  for _ in $(seq 150); do kill -0 "$korsi7_pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$korsi7_pid" 2>/dev/null; then kill "$korsi7_pid"; wait "$korsi7_pid" 2>/dev/null; return 99; fi
  wait "$korsi7_pid"
}

rows_in() { sqlite3 "$1" 'select count(*) from archive' 2>/dev/null || echo 0; }

# 1. The training mode from the runnable folder, into the user's own folder.
rm -rf "$userdir"
run_scenario 180 "$work/training.out" --simulator
echo "wine-desktop: training: ${scenario_line:-no scenario line; the program said: $(tail -n 5 "$work/training.out")}"
sleep 1
import -window root "$shots/korsi7-training-read.png" 2>/dev/null
check "training mode: the gauge found on COM200 and read whole" \
  grep -q 'found COM200, read 500 of 500 measurements' <<<"$scenario_line"
check "the user's folder made from the templates" \
  test -f "$userdir/kestro.conf" -a -f "$userdir/korsi7.mdb.backup" -a -f "$userdir/korsi7.log"
check "the 500 rows in the user's archive" test "$(rows_in "$userdir/korsi7.mdb")" -eq 500
close_program
status=$?
check "Alt+F4 ends the program with status 0" test "$status" -eq 0
echo "wine-desktop: the user's kestro.conf after the run: $(tr '\n' ' ' <"$userdir/kestro.conf")"
check "the user's configuration keeps no trace of the training port" \
  bash -c "grep -qE '^default_comport[[:space:]]+1' '$userdir/kestro.conf' && ! grep -q COM200 '$userdir/kestro.conf'"

# 2. The gauge simulator of the Linux build through COM5, in a working folder
#    whose configuration names COM5 (Wine has no converter driver to search).
"$sim" --count 500 --seed 11 >"$work/sim.out" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/sim.out" ] && break; sleep 0.05; done
ln -sfn "$(head -n 1 "$work/sim.out")" "$WINEPREFIX/dosdevices/com5"
# (Not a folder named com5: Windows takes that name for the port itself.)
mkdir -p "$work/serial"
printf 'log_file korsi7.log\ndefault_comport 5\n' >"$work/serial/kestro.conf"
cp "$folder/templates/korsi7.mdb.backup" "$work/serial/"
cp "$folder/templates/korsi7.mdb.backup" "$work/serial/korsi7.mdb"
run_scenario 180 "$work/com5.out" --workdir "$("$wine" winepath -w "$work/serial" 2>/dev/null | tr -d '\r')"
echo "wine-desktop: COM5: ${scenario_line:-no scenario line; the program said: $(tail -n 5 "$work/com5.out")}"
import -window root "$shots/korsi7-com5-read.png" 2>/dev/null
check "COM5: the gauge found and read whole" grep -q 'found COM5, read 500 of 500 measurements' <<<"$scenario_line"
check "COM5: the 500 rows in the working folder's archive" test "$(rows_in "$work/serial/korsi7.mdb")" -eq 500
close_program >/dev/null

# 3. The installer.
if [ -f "$setup" ]; then
  programs=$WINEPREFIX/drive_c/Program\ Files/КОРСИ-7
  menu=$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs
  "$wine" "$setup" /S >/dev/null 2>&1
  check "installer: silent install exits with status 0" test $? -eq 0
  check "installer: the programs, DLLs, plugins and templates are in Program Files" \
    test -f "$programs/korsi7.exe" -a -f "$programs/korsi7-transfer.exe" -a -f "$programs/Qt6Widgets.dll" \
         -a -f "$programs/platforms/qwindows.dll" -a -f "$programs/templates/korsi7.mdb.backup" \
         -a -f "$programs/uninstall.exe"
  check "installer: the Start-menu entries" \
    test -f "$menu/КОРСИ-7.lnk" -a -f "$menu/КОРСИ-7 — учебный режим (без прибора).lnk"
  check "installer: the training entry starts korsi7.exe --simulator" \
    bash -c "tr -d '\\000' <'$menu/КОРСИ-7 — учебный режим (без прибора).lnk' | grep -aq -- --simulator"
  check "installer: registered in Programs and Features" \
    bash -c "'$wine' reg query 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\korsi7' /v UninstallString 2>/dev/null | grep -q uninstall.exe"
  installed_version=$("$wine" "$programs/korsi7-transfer.exe" --version 2>/dev/null | tr -d '\r')
  check "installer: the installed korsi7-transfer.exe --version runs ($installed_version)" \
    grep -q "$version" <<<"$installed_version"
  # The installed program makes the user's folder on its first start.
  rm -rf "$userdir"
  QT_QPA_PLATFORM=offscreen "$wine" "$programs/korsi7.exe" --check-start >/dev/null 2>&1
  check "installer: the installed program makes the user's folder" test -f "$userdir/korsi7.mdb"
  echo "a note of the user's" >"$userdir/note.txt"
  "$wine" "$programs/uninstall.exe" /S >/dev/null 2>&1
  # The uninstaller runs on from a copy of itself: wait until it is done.
  for _ in $(seq 300); do [ -e "$programs/korsi7.exe" ] || [ -e "$programs/uninstall.exe" ] || break; sleep 0.1; done
  for _ in $(seq 100); do [ -e "$menu/КОРСИ-7.lnk" ] || break; sleep 0.1; done
  check "uninstaller: the programs and the Start-menu entries are gone" \
    bash -c "[ ! -e '$programs' ] && [ ! -e '$menu/КОРСИ-7.lnk' ]"
  check "uninstaller: the user's folder is kept" test -f "$userdir/korsi7.mdb" -a -f "$userdir/note.txt"
else
  echo "wine-desktop: no installer at $setup (scripts/package.sh windows makes it)"
  failed=$((failed + 1))
fi

# 4. Every window, drawn by the windows platform, from a copy of the runnable
#    folder (the pictures tool needs the same DLLs and plugins beside it).
screens=$windows/ui/korsi7_screens.exe
[ -f "$screens" ] || cmake --build "$windows" --target korsi7_screens >"$work/screens-build.out" 2>&1
if [ -f "$screens" ]; then
  cp -r "$folder" "$work/screens"
  cp "$screens" "$work/screens/"
  mkdir -p "$shots/windows"
  rm -f "$shots/windows/"*.png
  timeout 300 "$wine" "$work/screens/korsi7_screens.exe" "$("$wine" winepath -w "$shots/windows" 2>/dev/null | tr -d '\r')" \
    >"$work/screens.out" 2>&1
  screens_status=$?
  pictures=$(find "$shots/windows" -name '*.png' -size +1k | wc -l)
  echo "wine-desktop: $pictures pictures of the windows in $shots/windows"
  check "every window drawn under Wine (status $screens_status, $pictures pictures)" \
    test "$screens_status" -eq 0 -a "$pictures" -ge 30
else
  echo "wine-desktop: korsi7_screens.exe not built: $(tail -n 5 "$work/screens-build.out")"
  failed=$((failed + 1))
fi

echo "wine-desktop: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
