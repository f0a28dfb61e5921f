#!/usr/bin/env bash
# The Win32 serial layer on a line: korsi7-transfer.exe under Wine reads the
# simulated gauge through COM5, which Wine's device folder links to the
# simulator's pseudo-terminal. The same archive read by the Linux program
# must come out byte for byte the same, and a workbook (.xlsx) cell for
# cell the same. Then a port with no device behind
# it, a gauge that answers nothing, a line that never falls silent, and a
# port another program holds.
#   scripts/wine-serial-test.sh [windows build folder] [linux build folder]
# Needs both builds (scripts/build.sh windows, scripts/build.sh normal).
# Prints "wine-serial: N passed, M failed".
set -uo pipefail
cd "$(dirname "$0")/.."

windows=${1:-build/windows}
linux=${2:-build/normal}
exe=$PWD/$windows/tools/transfer/korsi7-transfer.exe
sim=$PWD/$linux/tools/gauge_sim/korsi7-gauge-sim
transfer=$PWD/$linux/tools/transfer/korsi7-transfer
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
for f in "$exe" "$sim" "$transfer" "$wine"; do
  [ -x "$f" ] || { echo "wine-serial: missing $f"; echo "wine-serial: 0 passed, 1 failed"; exit 1; }
done

export WINEPREFIX=$PWD/$windows/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
work=$(mktemp -d)
sims=()
cleanup() {
  for p in "${sims[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
  rm -f "$WINEPREFIX/dosdevices/com5" "$WINEPREFIX/dosdevices/com6"
  rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
check() {  # check NAME COMMAND...: one line per check
  local name=$1; shift
  if "$@"; then echo "wine-serial: $name: ok"; passed=$((passed + 1))
  else echo "wine-serial: $name: FAILED"; failed=$((failed + 1)); fi
}

# Starts a simulator with the given options and sets sim_pty to its
# pseudo-terminal (not in a subshell, so that cleanup knows every simulator).
start_sim() {
  local out=$work/sim.$RANDOM
  "$sim" "$@" >"$out" 2>/dev/null &
  sims+=($!)
  sim_pty=
  for _ in $(seq 100); do
    [ -s "$out" ] && { sim_pty=$(head -n 1 "$out"); return; }
    sleep 0.05
  done
}

# The first start of Wine makes the prefix; not part of what is measured.
"$wine" cmd /c exit >/dev/null 2>&1 || true

# 1. 100 measurements through COM5 under Wine, the same as the Linux reading.
start_sim --count 100 --seed 7
ln -sfn "$sim_pty" "$WINEPREFIX/dosdevices/com5"
cd "$work"
start=$(date +%s.%N)
"$wine" "$exe" read --port 5 -o wine.csv --log wine.log --quiet >wine.out 2>wine.err
wine_status=$?
end=$(date +%s.%N)
cd - >/dev/null
echo "wine-serial: read under Wine: exit $wine_status, $(($(wc -l <"$work/wine.csv" 2>/dev/null || echo 1) - 1)) rows," \
  "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f", b - a }') s with Wine's start"
start_sim --count 100 --seed 7
"$transfer" read --port "$sim_pty" -o "$work/linux.csv" --quiet >/dev/null 2>&1
check "read 100 measurements through COM5" test "$wine_status" -eq 0
check "the rows equal the Linux reading" cmp -s "$work/wine.csv" "$work/linux.csv"
check "100 rows" test "$(wc -l <"$work/wine.csv")" -eq 101

# 1b. The same gauge into a workbook: the Windows program writes the cells
#     the Linux program writes (both read back with openpyxl).
start_sim --count 20 --seed 7
ln -sfn "$sim_pty" "$WINEPREFIX/dosdevices/com5"
cd "$work"
"$wine" "$exe" read --port 5 -o wine.xlsx --quiet >/dev/null 2>&1
cd - >/dev/null
start_sim --count 20 --seed 7
"$transfer" read --port "$sim_pty" -o "$work/linux.xlsx" --quiet >/dev/null 2>&1
check "the workbook written under Wine holds the Linux workbook's 20 rows" \
  /usr/bin/python3 -c 'import sys, openpyxl
sheets = [[[c.value for c in row] for row in openpyxl.load_workbook(f).active.iter_rows()] for f in sys.argv[1:]]
sys.exit(0 if sheets[0] == sheets[1] and len(sheets[0]) == 21 else 1)' "$work/wine.xlsx" "$work/linux.xlsx"

# 2. COM6 has no device: the port is passed over silently and no gauge is found.
cd "$work"
"$wine" "$exe" find --port 6 --log missing.log --quiet >/dev/null 2>missing.err
missing_status=$?
cd - >/dev/null
check "a port with no device finds no gauge (exit 3)" test "$missing_status" -eq 3
check "a port with no device writes no error line" bash -c "! grep -q \"Can't open port\" '$work/missing.log'"

# 3. Wait limits and purges on the line: a gauge that answers nothing, and a
#    line that never falls silent. The port opens, every probe runs into its
#    limit, and the search ends with no gauge found instead of hanging.
for fault in "--silent-after 0" "--stream-after 0"; do
  # shellcheck disable=SC2086
  start_sim --count 10 $fault
  ln -sfn "$sim_pty" "$WINEPREFIX/dosdevices/com5"
  cd "$work"
  timeout 120 "$wine" "$exe" find --port 5 --log fault.log --quiet >/dev/null 2>&1
  fault_status=$?
  cd - >/dev/null
  check "a gauge with $fault: opened, and no gauge found (exit 3)" \
    bash -c "[ $fault_status -eq 3 ] && grep -q 'Успешно открыт порт COM5' '$work/fault.log'"
done

# 4. COM5 held by another program. Windows refuses a second open of a COM
#    port (ERROR_ACCESS_DENIED, which the layer reports as a port in use);
#    Wine does not: it opens the same device again. So this is shown, not
#    checked: the line says what Wine did.
start_sim --count 500 --delay 20
ln -sfn "$sim_pty" "$WINEPREFIX/dosdevices/com5"
cd "$work"
"$wine" "$exe" read --port 5 -o holder.csv --quiet >/dev/null 2>&1 &
holder=$!
sleep 6
"$wine" "$exe" find --port 5 --log busy.log --quiet >/dev/null 2>&1
kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null
cd - >/dev/null
if grep -q "the device is in use" "$work/busy.log"; then
  echo "wine-serial: note: a second open of COM5 was refused as in use"
elif grep -q "Успешно открыт порт COM5" "$work/busy.log"; then
  echo "wine-serial: note: Wine opened COM5 a second time while another program held it (Windows would refuse)"
fi

echo "wine-serial: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
