#!/usr/bin/env bash
# bench/download_bench.sh — the installer's range downloader (CHttpDownloader,
# run under Wine by download_bench.exe) against `aria2c -x8 -s8 -k1M` and
# `curl`, all fetching the same random file from the same nginx:
#   (a) each connection throttled to 4 MiB/s (so 8 connections can reach
#       32 MiB/s), and (b) unthrottled; both over HTTP and HTTPS.
# Every download is checked against the file's SHA-256. Not a pass/fail test:
# it prints a table and whether the targets were met.
#
# It sets up everything itself: packages (tools/setup.sh), a build of bench/
# in $BENCH_DIR/build, its own servers (state in $BENCH_DIR/servers, apart
# from the test run's) and its own Wine session (prefix in $BENCH_DIR/build).
#
# Environment: BENCH_DIR (default ./build-bench), SIZE_MIB (256), RUNS (runs
# per unthrottled case, the median is shown; default 3), RUNS_THROTTLED (1).
#
# How the figures are taken:
#   wall    aria2c, curl: the process's elapsed time (/usr/bin/time). The
#           downloader: from StartDownload to the finish message, measured
#           inside the Windows process, after the size query that the
#           installer runs when its window opens ("est" in the notes: it also
#           loads the TLS libraries on https); "proc" is the whole Windows
#           process including Wine's start and exit.
#   CPU     user + system time of the process. For the Windows process this
#           is the Wine process that runs the exe (`wine` execs into it, so
#           /usr/bin/time measures it); "+N" is the wineserver's CPU time
#           during the run, read from /proc.
#   peak    maximum resident set size of that process.
#   join    the downloader's join after its last part ended, as a share of its
#           download time (GetElapsedSeconds).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BENCH_DIR=${BENCH_DIR:-$ROOT/build-bench}
mkdir -p "$BENCH_DIR"
BENCH_DIR=$(cd "$BENCH_DIR" && pwd)
BUILD=$BENCH_DIR/build
STATE=$BENCH_DIR/servers
OUT=$BENCH_DIR/out
SIZE_MIB=${SIZE_MIB:-256}
RUNS=${RUNS:-3}
RUNS_THROTTLED=${RUNS_THROTTLED:-1}
FILE=bench-${SIZE_MIB}m.bin
EXE=$BUILD/download_bench.exe

log() { echo "bench: $*" >&2; }

# --- inside the Wine session -------------------------------------------------------

wine_path() { printf 'Z:%s' "${1//\//\\}"; }

# CPU seconds (user + system) of this prefix's wineserver so far.
wineserver_cpu() {
  local pid stat
  for pid in $(ls /proc | grep -E '^[0-9]+$'); do
    case $(cat "/proc/$pid/comm" 2>/dev/null) in wineserver*) ;; *) continue ;; esac
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    stat=$(sed 's/^.*) //' "/proc/$pid/stat")
    awk -v t="$(getconf CLK_TCK)" '{ printf "%.2f", ($12 + $13) / t }' <<<"$stat"
    return
  done
  echo 0
}

# Same starting point for every run: no earlier output, WinINet's cache of the
# bench prefix emptied (Wine stores every response body there), disks synced.
prepare_run() {
  rm -rf "$OUT"
  mkdir -p "$OUT"
  rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Local/Microsoft/Windows/INetCache/Content.IE5/*/
  sync
  sleep 1
}

check_sum() {
  if [ -f "$1" ] && [ "$(sha256sum "$1" | cut -d' ' -f1)" = "$SHA" ]; then echo ok; else echo BAD; fi
}

# Appends one result line: scheme limit tool wall cpu peak_kib join% sha proc server_cpu estimate
record() { echo "$*" >>"$RESULTS"; }

run_downloader() {
  local scheme=$1 limit=$2 url=$3 before after line total download join estimate
  prepare_run
  before=$(wineserver_cpu)
  if ! /usr/bin/time -f '%e %U %S %M' -o "$OUT/time" wine "$EXE" "$url" "$(wine_path "$OUT")\\" \
      >"$OUT/stdout" 2>"$OUT/stderr"; then
    log "downloader failed ($url): $(cat "$OUT/stdout") $(tail -3 "$OUT/stderr")"
  fi
  after=$(wineserver_cpu)
  line=$(cat "$OUT/stdout")
  total=$(sed -n 's/.*total_s=\([0-9.]*\).*/\1/p' <<<"$line")
  download=$(sed -n 's/.*download_s=\([0-9.]*\).*/\1/p' <<<"$line")
  join=$(sed -n 's/.*join_s=\([-0-9.]*\).*/\1/p' <<<"$line")
  estimate=$(sed -n 's/.*estimate_s=\([0-9.]*\).*/\1/p' <<<"$line")
  read -r proc user sys peak < <(tail -1 "$OUT/time")
  local sum
  sum=$(check_sum "$OUT/$FILE")
  grep -q 'result=1' <<<"$line" || sum=FAILED
  record "$scheme $limit downloader ${total:-0} $(awk -v u="$user" -v s="$sys" 'BEGIN{printf "%.2f", u+s}') \
$peak $(awk -v j="${join:-0}" -v d="${download:-0}" 'BEGIN{ if (d > 0) printf "%.1f", 100*j/d; else print "-" }') \
$sum $proc $(awk -v a="$after" -v b="$before" 'BEGIN{printf "%.2f", a-b}') ${estimate:-0}"
}

run_native() {
  local scheme=$1 limit=$2 tool=$3 url=$4 output
  prepare_run
  output=$OUT/$FILE
  local command
  case $tool in
    aria2c) command=(aria2c -x8 -s8 -k1M -q --allow-overwrite=true --auto-file-renaming=false
                     --ca-certificate="$CA_CERT" -d "$OUT" -o "$FILE" "$url") ;;
    curl) command=(curl -sS --fail --cacert "$CA_CERT" -o "$output" "$url") ;;
  esac
  if ! /usr/bin/time -f '%e %U %S %M' -o "$OUT/time" "${command[@]}" >"$OUT/stdout" 2>"$OUT/stderr"; then
    log "$tool failed ($url): $(tail -3 "$OUT/stderr")"
  fi
  read -r wall user sys peak < <(tail -1 "$OUT/time")
  record "$scheme $limit $tool $wall $(awk -v u="$user" -v s="$sys" 'BEGIN{printf "%.2f", u+s}') \
$peak - $(check_sum "$output") - - -"
}

measure() {
  # shellcheck disable=SC1091
  source "$STATE/servers.env"
  SHA=$(sha256sum "$DOCROOT/$FILE" | cut -d' ' -f1)
  RESULTS=$BENCH_DIR/results.txt
  : >"$RESULTS"
  local scheme limit base path runs i tool
  for scheme in http https; do
    if [ "$scheme" = https ]; then
      base=https://localhost:$HTTPS_PORT
      if [ "$CA_TRUSTED" != 1 ]; then
        log "the test authority is not trusted (needs root): skipping https"
        continue
      fi
    else
      base=http://127.0.0.1:$HTTP_PORT
    fi
    for limit in 4MiB/s none; do
      if [ "$limit" = none ]; then path=/$FILE runs=$RUNS; else path=/throttled/$FILE runs=$RUNS_THROTTLED; fi
      for tool in downloader aria2c curl; do
        for i in $(seq 1 "$runs"); do
          log "$scheme, limit $limit: $tool, run $i of $runs"
          if [ "$tool" = downloader ]; then
            run_downloader "$scheme" "$limit" "$base$path"
          else
            run_native "$scheme" "$limit" "$tool" "$base$path"
          fi
        done
      done
    done
  done
  rm -rf "$OUT"
  report
}

# The median run (by wall time) of every case, then the targets.
report() {
  python3 - "$RESULTS" "$SIZE_MIB" <<'PY'
import statistics, sys
path, size = sys.argv[1], float(sys.argv[2])
rows = {}
for line in open(path):
    f = line.split()
    rows.setdefault((f[0], f[1], f[2]), []).append(f)
def median(runs):
    runs = sorted(runs, key=lambda r: float(r[3]))
    return runs[(len(runs) - 1) // 2], len(runs)
print()
print("%-6s %-8s %-11s %5s %8s %8s %10s %9s %6s %7s" % (
    "scheme", "limit", "tool", "runs", "wall s", "MiB/s", "CPU s", "peak MiB", "join", "sha256"))
best = {}
for key in rows:
    r, n = median(rows[key])
    wall = float(r[3])
    cpu = r[4] + ("+" + r[9] if r[9] != "-" else "")
    join = (r[6] + "%") if r[6] != "-" else "-"
    note = "  (est %ss, proc %ss)" % (r[10], r[8]) if r[8] != "-" else ""
    print("%-6s %-8s %-11s %5d %8.2f %8.1f %10s %9.1f %6s %7s%s" % (
        key[0], key[1], key[2], n, wall, size / wall if wall > 0 else 0, cpu,
        float(r[5]) / 1024, join, r[7], note))
    best[key] = (wall, size / wall if wall > 0 else 0, r[6], r[7])
print()
limit_rate = 32.0
for scheme in ("http", "https"):
    d = best.get((scheme, "4MiB/s", "downloader"))
    a = best.get((scheme, "4MiB/s", "aria2c"))
    c = best.get((scheme, "4MiB/s", "curl"))
    if d and a and c:
        print("%s (a) throttled: %.1f MiB/s = %.2f x the 32 MiB/s limit (target >= 0.95): %s; "
              "vs aria2c %.1f (target >=): %s; = %.1f x curl (target >= 6): %s; join %s%% (target < 5): %s" % (
            scheme, d[1], d[1] / limit_rate, "met" if d[1] >= 0.95 * limit_rate else "MISSED",
            a[1], "met" if d[1] >= a[1] else "MISSED", d[1] / c[1] if c[1] else 0,
            "met" if c[1] and d[1] >= 6 * c[1] else "MISSED", d[2],
            "met" if d[2] != "-" and float(d[2]) < 5 else "MISSED"))
    d = best.get((scheme, "none", "downloader"))
    a = best.get((scheme, "none", "aria2c"))
    if d and a:
        print("%s (b) unthrottled: wall %.2f s = %.2f x aria2c's %.2f s (target <= 1.5): %s; "
              "join %s%% of the download (target < 5): %s" % (
            scheme, d[0], d[0] / a[0], a[0], "met" if d[0] <= 1.5 * a[0] else "MISSED", d[2],
            "met" if d[2] != "-" and float(d[2]) < 5 else "MISSED"))
bad = [k for k, v in best.items() if v[3] != "ok"]
print("sha256: " + ("every download matched" if not bad else "MISMATCH in %s" % bad))
PY
}

if [ "${1:-}" = --measure ]; then
  measure
  exit 0
fi

# --- set-up, then the measurements inside a Wine session ---------------------------------

bash "$ROOT/tools/setup.sh"
log "building download_bench.exe in $BUILD"
cmake -S "$ROOT/bench" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" --target download_bench -j "${JOBS:-2}" >/dev/null

log "starting the servers (state in $STATE)"
THROTTLE_RATE=4m bash "$ROOT/tests/e2e/servers/servers.sh" start "$STATE" --watch $$
trap 'bash "$ROOT/tests/e2e/servers/servers.sh" stop "$STATE" >/dev/null 2>&1 || true' EXIT
# shellcheck disable=SC1091
source "$STATE/servers.env"
if [ "$(stat -c %s "$DOCROOT/$FILE" 2>/dev/null || echo 0)" != $((SIZE_MIB * 1048576)) ]; then
  log "writing $SIZE_MIB MiB of random bytes to $DOCROOT/$FILE"
  head -c $((SIZE_MIB * 1048576)) /dev/urandom >"$DOCROOT/$FILE.tmp"
  mv "$DOCROOT/$FILE.tmp" "$DOCROOT/$FILE"
fi

"$ROOT/tools/wine-harness.sh" --build "$BUILD" bash "$ROOT/bench/download_bench.sh" --measure
