#!/usr/bin/env bash
# A private PostgreSQL 15 cluster for the company archive's tests and
# benchmarks: made by initdb in a new temporary folder, listening on a Unix
# socket in that folder (and, with --tcp, on 127.0.0.1 at a free port), with
# the superuser "postgres" and trust for local connections only. Nothing of
# the machine's own PostgreSQL is touched.
#
#   scripts/pg-test-server.sh start STATE [--tcp] [--ssl CERT KEY]
#   scripts/pg-test-server.sh stop STATE
#   scripts/pg-test-server.sh down STATE    stops the server, keeps the cluster
#   scripts/pg-test-server.sh up STATE      starts it again on the same port
#
# start writes STATE, lines of key=value that the tests read:
#   folder=/tmp/korsi7-pg.XXXX   the cluster's folder (removed by stop)
#   host=/tmp/korsi7-pg.XXXX     the socket's folder
#   port=NNNNN
#   uri=postgresql://postgres@/postgres?host=...&port=...
# stop stops the cluster named in STATE and removes its folder and STATE.
#
# PostgreSQL refuses to run as root: as root the cluster belongs to the user
# "postgres" that Debian's package makes (or to KORSI_PG_USER).
set -euo pipefail

bin=${KORSI_PG_BIN:-/usr/lib/postgresql/15/bin}
action=${1:-}
state=${2:-}
[ -n "$action" ] && [ -n "$state" ] || { echo "usage: $0 start|stop|down|up STATE [--tcp] [--ssl CERT KEY]" >&2; exit 2; }
shift 2

as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u "${KORSI_PG_USER:-postgres}" -- "$@"
  else
    "$@"
  fi
}

value() { sed -n "s/^$1=//p" "$state"; }

stop_cluster() {
  [ -f "$state" ] || return 0
  local folder
  folder=$(value folder)
  if [ -n "$folder" ] && [ -d "$folder/data" ]; then
    as_owner "$bin/pg_ctl" -D "$folder/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  [ -n "$folder" ] && rm -rf -- "$folder"
  rm -f -- "$state"
}

port_free() { ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

server_ctl() {
  local folder port listen
  folder=$(value folder)
  port=$(value port)
  listen=$(value listen)
  as_owner "$bin/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w -t 60 \
    -o "-p $port -c listen_addresses='$listen'" "$@" >/dev/null
}

case "$action" in
  stop)
    stop_cluster
    exit 0
    ;;
  down)
    server_ctl -m fast stop
    exit 0
    ;;
  up)
    server_ctl start
    exit 0
    ;;
  start) ;;
  *) echo "$0: unknown action $action (start or stop)" >&2; exit 2 ;;
esac

tcp=0
cert=""
key=""
while [ $# -gt 0 ]; do
  case "$1" in
    --tcp) tcp=1; shift ;;
    --ssl) tcp=1; cert=$2; key=$3; shift 3 ;;
    *) echo "$0: unknown option $1" >&2; exit 2 ;;
  esac
done

[ -x "$bin/initdb" ] || { echo "$0: $bin/initdb not found: install Debian's postgresql package (scripts/install-deps.sh)" >&2; exit 1; }
# A cluster left by a run that was killed goes first.
stop_cluster

folder=$(mktemp -d "${TMPDIR:-/tmp}/korsi7-pg.XXXXXX")
chmod 0755 "$folder"
if [ "$(id -u)" -eq 0 ]; then chown "${KORSI_PG_USER:-postgres}" "$folder"; fi
as_owner "$bin/initdb" -D "$folder/data" -U postgres -A trust -E UTF8 --locale=C.UTF-8 >"$folder/initdb.log" 2>&1 ||
  { cat "$folder/initdb.log" >&2; rm -rf -- "$folder"; exit 1; }

if [ -n "$cert" ]; then
  install -m 0644 "$cert" "$folder/data/server.crt"
  install -m 0600 "$key" "$folder/data/server.key"
  if [ "$(id -u)" -eq 0 ]; then chown "${KORSI_PG_USER:-postgres}" "$folder/data/server.crt" "$folder/data/server.key"; fi
fi

{
  echo "unix_socket_directories = '$folder'"
  echo "fsync = off"  # a test cluster: the machine's crash is not its concern
  echo "max_connections = 100"
  if [ -n "$cert" ]; then echo "ssl = on"; fi
} >>"$folder/data/postgresql.conf"
if [ -n "$cert" ]; then
  # TCP only through TLS, so that a test can tell a refused certificate.
  printf 'local all all trust\nhostssl all all 127.0.0.1/32 trust\n' >"$folder/data/pg_hba.conf"
else
  printf 'local all all trust\nhost all all 127.0.0.1/32 trust\n' >"$folder/data/pg_hba.conf"
fi

started=0
for attempt in $(seq 1 20); do
  port=$((20000 + (RANDOM % 20000)))
  [ "$tcp" -eq 0 ] || port_free "$port" || continue
  listen=""
  [ "$tcp" -eq 0 ] || listen=127.0.0.1
  if as_owner "$bin/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w -t 60 \
      -o "-p $port -c listen_addresses='$listen'" start >/dev/null 2>&1; then
    started=1
    break
  fi
done
if [ "$started" -ne 1 ]; then
  echo "$0: the test cluster did not start:" >&2
  tail -n 20 "$folder/server.log" >&2 || true
  rm -rf -- "$folder"
  exit 1
fi

mkdir -p "$(dirname "$state")"
{
  echo "folder=$folder"
  echo "host=$folder"
  echo "port=$port"
  echo "listen=$listen"
  echo "uri=postgresql://postgres@/postgres?host=$folder&port=$port"
} >"$state"
echo "PostgreSQL test cluster on $folder port $port"
