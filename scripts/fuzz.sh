#!/usr/bin/env bash
# Runs every libFuzzer target of the fuzz build for a given time and fails when
# one of them finds something (a crash, a sanitizer report, a leak, an input
# slower than the time limit or hungrier than the memory limit).
#   scripts/build.sh fuzz
#   scripts/fuzz.sh [seconds per target] [target ...]
# Environment: FUZZ_JOBS targets at once (default 2), FUZZ_TIMEOUT seconds per
# input (default 10), FUZZ_RSS_MB memory limit in MB (default 1024).
# The inputs a run discovers are kept in build/fuzz/corpus/<target> and taken
# up by the next run; the committed seeds in tests/fuzz/corpus are only read.
# A finding is written to build/fuzz/findings/<target>/ and its log to
# build/fuzz/logs/<target>.log.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
jobs=${FUZZ_JOBS:-2}
timeout=${FUZZ_TIMEOUT:-10}
rss=${FUZZ_RSS_MB:-1024}
build=build/fuzz

if [ ! -d "$build/fuzzers" ]; then
  echo "no fuzz build: run scripts/build.sh fuzz first" >&2
  exit 2
fi

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in "$build"/fuzzers/*.target; do
    [ -e "$f" ] && targets+=("$(basename "$f" .target)")
  done
fi
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets in $build/fuzzers" >&2
  exit 2
fi

value() {  # value <key> <target file>
  sed -n "s/^$1=//p" "$2"
}

run_target() {
  local name=$1 file="$build/fuzzers/$1.target"
  local binary seeds options
  binary=$(value binary "$file")
  seeds=$(value seeds "$file")
  options=$(value options "$file")
  local work="$build/corpus/$name" findings="$build/findings/$name" log="$build/logs/$name.log"
  mkdir -p "$work" "$findings" "$build/logs"
  # The first folder receives new inputs; the seeds are read only.
  # shellcheck disable=SC2086
  "$binary" -max_total_time="$seconds" -timeout="$timeout" -rss_limit_mb="$rss" \
    -malloc_limit_mb="$rss" -print_final_stats=1 -artifact_prefix="$findings/" \
    $options "$work" "$seeds" >"$log" 2>&1
}


export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

echo "Fuzzing ${#targets[@]} target(s) for ${seconds} s each, $jobs at a time"
declare -A pids
for name in "${targets[@]}"; do
  if [ ! -f "$build/fuzzers/$name.target" ]; then
    echo "unknown fuzz target: $name" >&2
    exit 2
  fi
  rm -rf "$build/findings/$name"
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  run_target "$name" &
  pids[$name]=$!
done

status=0
printf '%-24s %14s %10s %8s  %s\n' target executions 'per s' corpus result
for name in "${targets[@]}"; do
  result=ok
  wait "${pids[$name]}" || result=FOUND
  log="$build/logs/$name.log"
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  per_s=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  corpus=$(find "$build/corpus/$name" -type f | wc -l)
  if [ -n "$(ls -A "$build/findings/$name")" ]; then result=FOUND; fi
  if [ "$result" != ok ]; then
    status=1
    result="FOUND: $(ls "$build/findings/$name" | head -n 3 | sed "s|^|$build/findings/$name/|" | tr '\n' ' ')(log $log)"
  fi
  printf '%-24s %14s %10s %8s  %s\n' "$name" "${execs:-?}" "${per_s:-?}" "$corpus" "$result"
done
if [ $status -ne 0 ]; then
  echo "A fuzz target found something; see the findings and logs above."
fi
exit $status
