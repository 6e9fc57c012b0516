#!/usr/bin/env bash
# tests/e2e/servers/servers.sh start|stop|status STATE_DIR [--watch PID | --no-watch]
#
# Starts and stops the HTTP peers of the client tests, all on 127.0.0.1 with
# ports the system picks at start:
#   - nginx: plain HTTP and HTTPS (certificate for "localhost" from a test
#     authority made here), byte ranges, a throttled location, and a second
#     HTTPS port whose certificate has expired;
#   - faultserver.py: the misbehaving server (see its header).
# "start" writes STATE_DIR/servers.env (KEY=VALUE lines, also fit for `source`)
# once everything answers; that file is how tests find the servers. "stop"
# ends every process that "start" recorded, by PID, and undoes the trust-store
# change. See README.md in this folder.
#
# start also leaves a watcher that runs "stop" when the process it watches ends
# (default: the caller, i.e. ctest), so a killed test run does not leave servers
# or a trusted test authority behind.
#
# Environment: THROTTLE_RATE (nginx limit_rate of /throttled/, default 4m),
# TEST_SERVERS_TRUST=0 to leave the system trust store alone, PYTHON.
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
THROTTLE_RATE=${THROTTLE_RATE:-4m}
if [ -z "${PYTHON:-}" ]; then
  if [ -x /usr/bin/python3 ]; then PYTHON=/usr/bin/python3; else PYTHON=python3; fi
fi
TRUST_DIR=/usr/local/share/ca-certificates
TRUST_LOCK=/tmp/tidewell-test-ca.lock

usage() {
  echo "usage: $0 start|stop|status STATE_DIR [--watch PID | --no-watch]" >&2
  exit 2
}

log() { echo "servers: $*" >&2; }

[ $# -ge 2 ] || usage
COMMAND=$1
mkdir -p "$2"
STATE=$(cd "$2" && pwd)
shift 2
RUN=$STATE/run

# --- processes ---------------------------------------------------------------

# True when PID is alive and was started for this state folder (its command
# line names the folder), so that a recycled PID is never signalled.
pid_is_ours() {
  local pid=$1
  [ -n "$pid" ] && [ -r "/proc/$pid/cmdline" ] || return 1
  tr '\0' ' ' <"/proc/$pid/cmdline" | grep -qF -- "$STATE"
}

# Ends the process recorded in the file: TERM, up to 10 s of grace, then KILL
# (with its direct children, which an nginx master would otherwise orphan).
stop_recorded() {
  local file=$1 pid i child
  [ -f "$file" ] || return 0
  pid=$(cat "$file")
  rm -f "$file"
  [ "$pid" = "$$" ] && return 0
  pid_is_ours "$pid" || return 0
  kill -TERM "$pid" 2>/dev/null || return 0
  for i in $(seq 1 100); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.1
  done
  log "process $pid did not end on TERM; killing it"
  for child in $(ps -o pid= --ppid "$pid" 2>/dev/null); do
    kill -KILL "$child" 2>/dev/null || true
  done
  kill -KILL "$pid" 2>/dev/null || true
}

wait_for_port() {
  local port=$1 pid=$2 i
  for i in $(seq 1 100); do
    if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then return 0; fi
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

free_ports() {
  "$PYTHON" - "$1" <<'PY'
import socket, sys
socks = [socket.socket() for _ in range(int(sys.argv[1]))]
for s in socks:
    s.bind(("127.0.0.1", 0))
print(" ".join(str(s.getsockname()[1]) for s in socks))
PY
}

# --- content -------------------------------------------------------------------

# Files every test run can rely on. Others may add files to the document root
# at any time; both servers serve whatever is there.
make_docroot() {
  local www=$STATE/www
  mkdir -p "$www"
  : >"$www/empty.bin"
  printf 'hello from the test server\n' >"$www/hello.txt"
  "$PYTHON" - "$www" <<'PY'
import os, random, sys
www = sys.argv[1]
# Sizes that are no multiple of the clients' block sizes, and both sides of
# the buffer download's 8 MiB limit.
files = {"data-1m.bin": 1048576 + 7, "data-8m.bin": 8388608, "data-8m-plus1.bin": 8388609}
for name, size in files.items():
    path = os.path.join(www, name)
    if os.path.exists(path) and os.path.getsize(path) == size:
        continue
    data = random.Random(name).randbytes(size)
    with open(path + ".tmp", "wb") as f:
        f.write(data)
    os.replace(path + ".tmp", path)
PY
}

# A test authority, a "localhost" certificate valid now and one that expired
# in 2020, all made for this run.
make_certs() {
  local tls=$STATE/tls ca=$STATE/tls/ca
  rm -rf "$tls"
  mkdir -p "$ca/new"
  : >"$ca/index.txt"
  echo 1000 >"$ca/serial"
  cat >"$ca/ca.cnf" <<CNF
[ ca ]
default_ca = test_ca
[ test_ca ]
dir = $ca
database = $ca/index.txt
new_certs_dir = $ca/new
serial = $ca/serial
default_md = sha256
policy = policy_any
unique_subject = no
email_in_dn = no
[ policy_any ]
commonName = supplied
[ req ]
distinguished_name = dn
prompt = no
[ dn ]
CN = unused
[ ca_ext ]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[ server_ext ]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost, IP:127.0.0.1
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
CNF
  local now_plus_30 now_minus_1
  now_plus_30=$(date -u -d '+30 days' +%Y%m%d%H%M%SZ)
  now_minus_1=$(date -u -d '-1 day' +%Y%m%d%H%M%SZ)
  local key
  for key in ca localhost expired; do
    openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$tls/$key.key" 2>/dev/null
  done
  local id
  id=$(printf '%s' "$STATE" | sha1sum | cut -c1-12)
  # The authority's validity starts before the expired certificate's, so
  # that every certificate lies inside its issuer's validity.
  openssl req -new -config "$ca/ca.cnf" -key "$tls/ca.key" -subj "/CN=Tidewell Test CA $id" \
    -out "$ca/ca.csr"
  openssl ca -batch -config "$ca/ca.cnf" -selfsign -keyfile "$tls/ca.key" -in "$ca/ca.csr" \
    -extensions ca_ext -startdate 20190101000000Z -enddate "$now_plus_30" -notext \
    -out "$tls/ca.crt" 2>/dev/null
  local name start end
  for name in localhost expired; do
    if [ "$name" = localhost ]; then start=$now_minus_1 end=$now_plus_30
    else start=20200101000000Z end=20200102000000Z; fi
    openssl req -new -config "$ca/ca.cnf" -key "$tls/$name.key" -subj "/CN=localhost" \
      -out "$ca/$name.csr"
    openssl ca -batch -config "$ca/ca.cnf" -cert "$tls/ca.crt" -keyfile "$tls/ca.key" \
      -in "$ca/$name.csr" -extensions server_ext -startdate "$start" -enddate "$end" -notext \
      -out "$tls/$name.crt" 2>/dev/null
  done
  echo "$id" >"$tls/id"
}

# --- system trust store --------------------------------------------------------

# Wine takes the trusted authorities from the system store (see README.md).
trust_add() {
  if [ "${TEST_SERVERS_TRUST:-1}" = 0 ] || [ "$(id -u)" -ne 0 ] \
      || ! command -v update-ca-certificates >/dev/null; then
    log "test authority NOT added to the system trust store (needs root and ca-certificates)"
    return 1
  fi
  local dest=$TRUST_DIR/tidewell-test-ca-$(cat "$STATE/tls/id").crt
  mkdir -p "$TRUST_DIR"
  (
    flock 9
    cp "$STATE/tls/ca.crt" "$dest"
    update-ca-certificates >/dev/null 2>&1
  ) 9>"$TRUST_LOCK"
  echo "$dest" >"$RUN/trust.path"
}

trust_remove() {
  [ -f "$RUN/trust.path" ] || return 0
  local dest
  dest=$(cat "$RUN/trust.path")
  case $dest in
    "$TRUST_DIR"/tidewell-test-ca-*.crt) ;;
    *) log "refusing to remove unexpected trust file '$dest'"; return 1 ;;
  esac
  (
    flock 9
    rm -f "$dest"
    update-ca-certificates >/dev/null 2>&1
  ) 9>"$TRUST_LOCK"
  rm -f "$RUN/trust.path"
}

# --- commands ------------------------------------------------------------------

stop_all() {
  rm -f "$STATE/servers.env"
  stop_recorded "$RUN/watch.pid"
  stop_recorded "$RUN/nginx.master"
  stop_recorded "$RUN/fault.pid"
  trust_remove
}

start_nginx() {
  local fault_port=$1 attempt ports http https expired pid
  for attempt in 1 2 3 4 5; do
    read -r http https expired <<<"$(free_ports 3)"
    sed -e "s|@STATE_DIR@|$STATE|g" -e "s|@DOCROOT@|$STATE/www|g" \
        -e "s|@HTTP_PORT@|$http|g" -e "s|@HTTPS_PORT@|$https|g" \
        -e "s|@HTTPS_EXPIRED_PORT@|$expired|g" -e "s|@FAULT_PORT@|$fault_port|g" \
        -e "s|@THROTTLE_RATE@|$THROTTLE_RATE|g" \
        "$HERE/nginx.conf.in" >"$STATE/nginx.conf"
    : >"$STATE/logs/nginx-error.log"
    setsid nginx -p "$RUN/" -e "$STATE/logs/nginx-error.log" -c "$STATE/nginx.conf" \
      </dev/null >>"$STATE/logs/nginx.out" 2>&1 &
    pid=$!
    echo "$pid" >"$RUN/nginx.master"
    if wait_for_port "$http" "$pid" && wait_for_port "$https" "$pid" \
        && wait_for_port "$expired" "$pid"; then
      NGINX_PORTS="$http $https $expired"
      return 0
    fi
    stop_recorded "$RUN/nginx.master"
    # Another program may have taken a port between the pick and the bind.
    grep -q "Address already in use" "$STATE/logs/nginx-error.log" || break
    log "port taken, retrying ($attempt)"
  done
  log "nginx did not start; see $STATE/logs/nginx-error.log:"
  cat "$STATE/logs/nginx-error.log" >&2 || true
  return 1
}

start_all() {
  local watch_pid=$PPID
  while [ $# -gt 0 ]; do
    case $1 in
      --watch) watch_pid=$2; shift 2 ;;
      --no-watch) watch_pid=; shift ;;
      *) usage ;;
    esac
  done

  # Whatever a previous run in this folder left behind.
  stop_all
  # A start that fails half-way leaves nothing running.
  trap 'status=$?; [ "$status" -eq 0 ] || { log "start failed; stopping what was started"; stop_all; }' EXIT
  mkdir -p "$RUN" "$STATE/logs" "$STATE/captures"
  rm -f "$STATE/captures/"*
  make_docroot
  make_certs

  setsid "$PYTHON" "$HERE/faultserver.py" --docroot "$STATE/www" --captures "$STATE/captures" \
    --port-file "$RUN/fault.port" </dev/null >"$STATE/logs/faultserver.log" 2>&1 &
  echo $! >"$RUN/fault.pid"
  rm -f "$RUN/fault.port"
  local i fault_port=
  for i in $(seq 1 100); do
    [ -s "$RUN/fault.port" ] && { fault_port=$(cat "$RUN/fault.port"); break; }
    sleep 0.1
  done
  if [ -z "$fault_port" ] || ! wait_for_port "$fault_port" "$(cat "$RUN/fault.pid")"; then
    log "fault server did not start:"
    cat "$STATE/logs/faultserver.log" >&2 || true
    return 1
  fi

  NGINX_PORTS=
  start_nginx "$fault_port" || return 1
  local http https expired
  read -r http https expired <<<"$NGINX_PORTS"

  local trusted=0
  trust_add && trusted=1

  if [ -n "$watch_pid" ]; then
    setsid bash "$HERE/servers.sh" watch "$STATE" "$watch_pid" </dev/null \
      >>"$STATE/logs/watch.log" 2>&1 &
    echo $! >"$RUN/watch.pid"
  fi

  cat >"$STATE/servers.env.tmp" <<ENV
# Written by servers.sh start; removed again by servers.sh stop.
STATE_DIR=$STATE
HTTP_PORT=$http
HTTPS_PORT=$https
HTTPS_EXPIRED_PORT=$expired
FAULT_PORT=$fault_port
THROTTLE_RATE=$THROTTLE_RATE
DOCROOT=$STATE/www
CAPTURE_DIR=$STATE/captures
CA_CERT=$STATE/tls/ca.crt
CA_TRUSTED=$trusted
ENV
  mv "$STATE/servers.env.tmp" "$STATE/servers.env"
  trap - EXIT
  log "http 127.0.0.1:$http, https localhost:$https (expired certificate: $expired), faults 127.0.0.1:$fault_port, test authority trusted: $trusted"
}

case $COMMAND in
  start)
    start_all "$@"
    ;;
  stop)
    stop_all
    log "stopped"
    ;;
  status)
    if [ -f "$STATE/servers.env" ]; then cat "$STATE/servers.env"; else log "not running"; exit 1; fi
    ;;
  watch)
    # Internal: stop everything once the watched process has ended, unless a
    # later start or a stop has replaced this watcher in the meantime.
    watched=${1:?}
    while kill -0 "$watched" 2>/dev/null; do
      [ "$(cat "$RUN/watch.pid" 2>/dev/null)" = "$$" ] || exit 0
      sleep 1
    done
    [ "$(cat "$RUN/watch.pid" 2>/dev/null)" = "$$" ] || exit 0
    log "watched process $watched ended; stopping"
    stop_all
    ;;
  *)
    usage
    ;;
esac
