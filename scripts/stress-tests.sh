#!/usr/bin/env bash
# The tests of the normal, address+undefined-sanitizer and thread-sanitizer
# flavours (the thread sanitizer's threaded tests only, as scripts/test.sh
# runs them; no fuzzing), three times in a row, while stress-ng keeps two
# processor cores busy beside them: the suite must not depend on a quiet
# machine. Not part of CI. Builds the three flavours first.
#   scripts/stress-tests.sh [rounds]      (default 3)
set -euo pipefail
cd "$(dirname "$0")/.."

rounds=${1:-3}

scripts/install-deps.sh
if ! command -v stress-ng >/dev/null 2>&1; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends stress-ng
fi

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

for flavour in normal asan tsan; do
  echo "=== $flavour build ==="
  scripts/build.sh "$flavour"
done

stress_pid=""
summary=$(mktemp)
lines=$(mktemp)
stop_stress() {
  if [ -n "$stress_pid" ]; then
    kill "$stress_pid" 2>/dev/null || true
    wait "$stress_pid" 2>/dev/null || true
  fi
  rm -f "$summary" "$lines"
}
trap stop_stress EXIT
trap 'exit 130' INT TERM

stress-ng --cpu 2 --quiet &
stress_pid=$!
echo "stress-ng --cpu 2 runs beside the tests (process $stress_pid)"

status=0
# One line per round and flavour: "round 2 tsan: 100% tests passed, 0 tests failed out of 64".
run() {
  local round=$1 flavour=$2; shift 2
  echo "=== round $round: $flavour tests ==="
  local result=0
  ctest --test-dir "build/$flavour" --output-on-failure --no-tests=error -j "$(nproc)" "$@" | tee "$summary" \
    || result=1
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$summary" | tail -n 1 || true)
  [ -n "$line" ] || { line="no summary from ctest"; result=1; }
  [ $result -eq 0 ] || status=1
  echo "round $round $flavour: $line" >>"$lines"
}

for round in $(seq 1 "$rounds"); do
  run "$round" normal
  run "$round" asan
  run "$round" tsan -L threads
done

echo "=== summary (stress-ng --cpu 2 beside the tests) ==="
cat "$lines"
if [ $status -eq 0 ]; then
  echo "All $rounds rounds passed under load."
else
  echo "Some rounds failed under load."
fi
exit $status
