#!/usr/bin/env bash
# One command on a fresh Debian 12 machine: install the packages, build the
# normal, address+undefined-sanitizer and thread-sanitizer flavours, and run
# their tests. Each flavour prints CTest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

status=0
run() {
  local flavour=$1; shift
  echo "=== $flavour build ==="
  scripts/build.sh "$flavour"
  echo "=== $flavour tests ==="
  if ! ctest --test-dir "build/$flavour" --output-on-failure --no-tests=error -j "$(nproc)" "$@"; then
    status=1
  fi
}

run normal
run asan
run tsan -L threads

exit $status
