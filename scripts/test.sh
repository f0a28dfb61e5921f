#!/usr/bin/env bash
# One command on a fresh Debian 12 machine: install the packages, check that
# no include runs upward between the rooms, build the normal,
# address+undefined-sanitizer and thread-sanitizer flavours, and run their
# tests; the normal build is also packed and its package checked. Each
# flavour prints CTest's summary. The Windows cross-build runs its tests
# under Wine and reads the simulated gauge through a Wine COM port. Last the
# fuzz flavour is built and every fuzz target runs for 60 seconds, two at a
# time.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

status=0
passed=0
failed=0
summary=$(mktemp)
trap 'rm -f "$summary"' EXIT

run() {
  local flavour=$1; shift
  echo "=== $flavour build ==="
  if ! scripts/build.sh "$flavour"; then
    echo "$flavour build failed"
    status=1
    return
  fi
  echo "=== $flavour tests ==="
  if ! ctest --test-dir "build/$flavour" --output-on-failure --no-tests=error -j "$(nproc)" "$@" \
      | tee "$summary"; then
    status=1
  fi
  # "100% tests passed, 0 tests failed out of 64"
  local line total bad
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$summary" | tail -n 1 || true)
  if [ -z "$line" ]; then
    status=1
    return
  fi
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
}

set +e
# No source includes a header from a room above its own.
echo "=== layers ==="
if scripts/check-layers.sh; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
  status=1
fi
run normal
# The Debian package of the normal build, checked as a user gets it
# (installed on this machine and removed again).
echo "=== package ==="
if scripts/package.sh && scripts/package-check.sh; then
  passed=$((passed + 1))
else
  echo "package check failed"
  failed=$((failed + 1))
  status=1
fi
run asan
run tsan -L threads
# The Windows cross-build: CTest starts each test program under Wine. Now
# and then Wine fails to start a program, or leaves one that has passed
# hanging at its end (most often the first program of a new Wine server);
# a Windows test that fails is run once more, and one that fails again
# fails.
run windows --repeat until-pass:2
# korsi7-transfer.exe reads the simulated gauge of the normal build through
# COM5 under Wine; each check counts.
echo "=== windows serial under Wine ==="
serial_summary=$(mktemp)
scripts/wine-serial-test.sh build/windows build/normal | tee "$serial_summary" || status=1
if line=$(grep -E '^wine-serial: [0-9]+ passed, [0-9]+ failed$' "$serial_summary"); then
  passed=$((passed + $(sed -E 's/.* ([0-9]+) passed.*/\1/' <<<"$line")))
  failed=$((failed + $(sed -E 's/.* ([0-9]+) failed.*/\1/' <<<"$line")))
else
  failed=$((failed + 1))
  status=1
fi
rm -f "$serial_summary"

# korsi7.exe under Wine on Xvfb: the training mode and COM5 read whole, and
# the installer installs and uninstalls; each check counts. The pictures go
# to build/windows/shots.
echo "=== windows desktop program and installer under Wine ==="
desktop_summary=$(mktemp)
if [ -f build/windows/korsi7/korsi7.exe ]; then
  scripts/package.sh windows >/dev/null || echo "windows installer failed"
  scripts/wine-desktop-test.sh build/windows build/normal | tee "$desktop_summary" || status=1
  if line=$(grep -E '^wine-desktop: [0-9]+ passed, [0-9]+ failed$' "$desktop_summary"); then
    passed=$((passed + $(sed -E 's/.* ([0-9]+) passed.*/\1/' <<<"$line")))
    failed=$((failed + $(sed -E 's/.* ([0-9]+) failed.*/\1/' <<<"$line")))
  else
    failed=$((failed + 1))
    status=1
  fi
else
  echo "no korsi7.exe: Qt for Windows is missing (scripts/build.sh windows said how to make it)"
  failed=$((failed + 1))
  status=1
fi
rm -f "$desktop_summary"

echo "=== fuzz build ==="
if scripts/build.sh fuzz; then
  echo "=== fuzz targets ==="
  scripts/fuzz.sh 60 || status=1
else
  echo "fuzz build failed"
  status=1
fi
set -e

# Every flavour's tests together, for the CI summary.
echo "Total: $passed passed, $failed failed"
exit $status
