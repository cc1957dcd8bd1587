#!/usr/bin/env bash
# A private PostgreSQL cluster for the tests: pg-cluster.sh start|stop STATE_DIR
#
# start: initdb + pg_ctl on 127.0.0.1 at a free port in a temporary folder, as an unprivileged user when run as
#        root (the server refuses to run as root). Writes STATE_DIR/port and STATE_DIR/cluster; when the server
#        cannot be started it writes the reason to STATE_DIR/unavailable and still succeeds, so the tests that
#        need the server are skipped with that reason instead of failing for want of it.
#        The server encrypts connections (TLS) with a self-signed certificate for "localhost" made here, as a
#        Debian server does from its first start; "start STATE_DIR --tls CERT KEY" uses the given certificate and
#        key instead, "start STATE_DIR --no-tls" starts a server without encryption.
# stop:  stops the cluster and removes its folder; harmless when nothing runs.
# pause: stops the server of a started cluster but keeps its folder (how a test sees a server go away);
# resume: starts it again on the same port.
set -uo pipefail
action="${1:?start or stop}"
state="${2:?state folder}"
mkdir -p "$state"

pgbin=""
for d in /usr/lib/postgresql/*/bin; do
  [ -x "$d/initdb" ] && pgbin="$d"
done

as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u "$owner" -- "$@"
  else
    "$@"
  fi
}

stop_cluster() {
  [ -f "$state/cluster" ] || return 0
  local folder owner
  folder="$(cat "$state/cluster")"
  owner="$(cat "$state/owner" 2>/dev/null || id -un)"
  if [ -d "$folder/data" ] && [ -n "$pgbin" ]; then
    as_owner "$pgbin/pg_ctl" -D "$folder/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  case "$folder" in /tmp/vantrel-pg.*) rm -rf "$folder" ;; esac
  rm -f "$state/cluster" "$state/port" "$state/owner"
}

unavailable() {
  echo "pg-cluster: $1"
  echo "$1" >"$state/unavailable"
  stop_cluster
  exit 0
}

server_options() {
  echo "-p $1 -c listen_addresses=127.0.0.1 -k $2 -c fsync=off -c max_connections=60"
}

case "$action" in
stop)
  stop_cluster
  rm -f "$state/unavailable"
  exit 0
  ;;
pause | resume)
  [ -f "$state/cluster" ] && [ -f "$state/port" ] || { echo "pg-cluster: no cluster in $state" >&2; exit 1; }
  folder="$(cat "$state/cluster")"
  owner="$(cat "$state/owner" 2>/dev/null || id -un)"
  if [ "$action" = pause ]; then
    as_owner "$pgbin/pg_ctl" -D "$folder/data" -m fast -w stop >/dev/null
  else
    as_owner "$pgbin/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w -t 30 \
      -o "$(server_options "$(cat "$state/port")" "$folder")" start >/dev/null
  fi
  exit $?
  ;;
start) ;;
*)
  echo "usage: $0 start|stop|pause|resume STATE_DIR [--no-tls | --tls CERT KEY]" >&2
  exit 2
  ;;
esac

stop_cluster
rm -f "$state/unavailable"
[ -n "$pgbin" ] || unavailable "PostgreSQL is not installed (no initdb under /usr/lib/postgresql)"

tls="self"
case "${3:-}" in
--no-tls) tls="none" ;;
--tls)
  tls="given"
  tls_cert="${4:?certificate file}"
  tls_key="${5:?key file}"
  ;;
"") ;;
*)
  echo "pg-cluster: unknown option ${3}" >&2
  exit 2
  ;;
esac

owner="$(id -un)"
if [ "$(id -u)" -eq 0 ]; then
  owner=""
  for u in postgres nobody; do
    if getent passwd "$u" >/dev/null; then owner="$u"; break; fi
  done
  [ -n "$owner" ] || unavailable "running as root and no unprivileged user (postgres, nobody) to run the server"
fi

folder="$(mktemp -d /tmp/vantrel-pg.XXXXXX)" || unavailable "cannot make a temporary folder"
echo "$folder" >"$state/cluster"
echo "$owner" >"$state/owner"
chmod 700 "$folder"
[ "$(id -u)" -eq 0 ] && chown "$owner" "$folder"

if ! as_owner "$pgbin/initdb" -D "$folder/data" -U vantrel --auth=trust -E UTF8 --locale=C.UTF-8 \
  >"$folder/initdb.log" 2>&1; then
  unavailable "initdb failed: $(tail -n 3 "$folder/initdb.log" | tr '\n' ' ')"
fi

if [ "$tls" != none ]; then
  data="$folder/data"
  if [ "$tls" = given ]; then
    cp "$tls_cert" "$data/server.crt" && cp "$tls_key" "$data/server.key" ||
      unavailable "cannot copy the server's certificate and key"
  else
    command -v openssl >/dev/null || unavailable "openssl is not installed (needed for the server's certificate)"
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 30 -subj "/CN=localhost" \
      -keyout "$data/server.key" -out "$data/server.crt" >"$folder/openssl.log" 2>&1 ||
      unavailable "openssl could not make the server's certificate: $(tail -n 2 "$folder/openssl.log" | tr '\n' ' ')"
  fi
  chmod 600 "$data/server.key"
  [ "$(id -u)" -eq 0 ] && chown "$owner" "$data/server.crt" "$data/server.key"
  printf "ssl = on\nssl_cert_file = 'server.crt'\nssl_key_file = 'server.key'\n" >>"$data/postgresql.conf"
fi

# A random port in the dynamic range; a port taken by someone else makes the start fail and the next is tried.
for attempt in 1 2 3 4 5 6 7 8; do
  port=$((20000 + (RANDOM * 32768 + RANDOM) % 30000))
  if as_owner "$pgbin/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w -t 30 \
    -o "$(server_options "$port" "$folder")" start >/dev/null 2>&1; then
    echo "$port" >"$state/port"
    echo "pg-cluster: PostgreSQL on 127.0.0.1:$port in $folder"
    exit 0
  fi
  sleep 0.2
done
unavailable "the server did not start: $(tail -n 3 "$folder/server.log" 2>/dev/null | tr '\n' ' ')"
