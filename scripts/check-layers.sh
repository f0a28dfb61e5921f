#!/usr/bin/env bash
# The rooms of the sources run one way: a file may include headers of its
# own room and of the rooms below it, never of a room above it or beside it
# (docs/architecture.md). tools/ and tests/ stand beside the rooms and may
# use any of them; no room uses them. Prints each include that runs the
# wrong way and fails when there is one.
#   scripts/check-layers.sh
set -euo pipefail
cd "$(dirname "$0")/.."

# Room and its height; rooms of one height do not use each other.
rooms='
services 0
storage 1
link 1
instrument 2
inspection 2
simulator 3
company_archive 3
app 4
ui 5
tools 9
tests 9
'

find services storage link instrument inspection simulator company_archive app ui \
     -type f \( -name '*.h' -o -name '*.cpp' \) -print0 |
  xargs -0 grep -Hn -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' |
  awk -v rooms="$rooms" '
    BEGIN {
      n = split(rooms, lines, "\n")
      for (i = 1; i <= n; ++i) if (split(lines[i], f, " ") == 2) height[f[1]] = f[2]
    }
    {
      # file:line:#include "room/..."
      file = $0; sub(/:.*/, "", file)
      rest = substr($0, length(file) + 2); line = rest; sub(/:.*/, "", line)
      header = rest; sub(/^[^"]*"/, "", header); sub(/".*/, "", header)
      if (index(header, "/") == 0) next   # generated headers (korsi_version.h)
      from = file; sub(/\/.*/, "", from)
      to = header; sub(/\/.*/, "", to)
      if (!(to in height)) next
      if (to == from) next
      if (height[to] < height[from]) next
      printf "%s:%s: includes \"%s\": room %s is not below room %s\n", file, line, header, to, from
      bad++
    }
    END {
      if (bad) { printf "check-layers: %d include(s) run upward or sideways\n", bad; exit 1 }
      print "check-layers: every include runs downward"
    }'
