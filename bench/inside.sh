#!/bin/bash
# The measuring half of the benchmark. Runs inside the Wine rig
# (tests/rig/wine_test.sh --script), so every Wine process is in the rig's
# network namespace and prefix; bench/run.sh starts it and formats the table.
# Usage: inside.sh BENCH_BIN_DIR
#   BENCH_BIN_DIR holds launch_probe.exe, minimal_window.exe and
#   window_set_floor.exe; the product comes from $WINE_BUILD_DIR. Prints
#   key=value lines on standard output.
# Settings (environment): BENCH_STARTUP_RUNS (start-ups per program, 11),
# BENCH_RUNS (runs of the other per-program figures, 5),
# BENCH_IDLE_SECONDS (60), BENCH_QUERY_RUNS (10), BENCH_ACCURACY_RUNS (5),
# BENCH_PORT (8123; the accuracy server takes the next port, the peer row the
# two after), BENCH_PEER_RUNS (runs of each program per shift and server, 3),
# BENCH_ONLY=peer (only the row beside htpdate), BENCH_ONLY=footprint (only
# start-up and idle, for trials: run this script through the rig by hand).
set -euo pipefail

BIN_DIR=$(readlink -f "$1")
SRC_DIR=$(cd "$(dirname "$0")/.." && pwd)
RUNS=${BENCH_RUNS:-5}
# A start-up is short and this machine's scheduling moves it by several
# milliseconds, so it gets more samples than the slower figures.
STARTUP_RUNS=${BENCH_STARTUP_RUNS:-11}
IDLE_SECONDS=${BENCH_IDLE_SECONDS:-60}
QUERY_RUNS=${BENCH_QUERY_RUNS:-10}
ACCURACY_RUNS=${BENCH_ACCURACY_RUNS:-5}
PORT=${BENCH_PORT:-8123}
PYTHON=${PYTHON:-python3}
[ -x /usr/bin/python3 ] && PYTHON=/usr/bin/python3  # pyenv's shim adds a second per start

TOOL="$WINE_BUILD_DIR/LanchuanTimeSync.exe"
CLI="$WINE_BUILD_DIR/LanchuanTimeSyncCli.exe"
MINIMAL="$BIN_DIR/minimal_window.exe"
FLOOR="$BIN_DIR/window_set_floor.exe"
PROBE="$BIN_DIR/launch_probe.exe"
TMP=$(mktemp -d /tmp/lanchuan-bench.XXXXXX)
SERVER_PID=
cleanup() {
  set +e
  [ -n "$SERVER_PID" ] && kill "$SERVER_PID" 2>/dev/null && wait "$SERVER_PID" 2>/dev/null
  rm -rf "$TMP"
}
trap cleanup EXIT

log() { echo "bench: $*" >&2; }

# Wine's Z: drive is the Unix root.
windows_path() { local p=${1//\//\\}; echo "Z:$p"; }

median() {  # numbers as arguments
  printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 }
    END { if (NR == 0) print "nan"; else if (NR % 2) print v[(NR + 1) / 2];
          else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# --- start-up ------------------------------------------------------------------
startup_once() {  # window-class exe
  local out="$TMP/probe.out"
  "$WINE_LOADER" "$PROBE" "$1" "$(windows_path "$2")" >"$out" 2>"$TMP/probe.err" || {
    log "launch_probe failed for $2: $(grep -v -E '^(fixme|err|warn):' "$TMP/probe.err" | tail -3)"
    return 1
  }
  sed -n 's/^startup_ms=\([0-9.]*\).*/\1/p' "$out"
}

measure_startup() {
  local tool_ms=() ref_ms=() floor_ms=()
  log "start-up: one warm-up run each, then $STARTUP_RUNS alternating runs"
  startup_once LanchuanTimeSyncMain "$TOOL" >/dev/null
  startup_once BenchMinimalWindow "$MINIMAL" >/dev/null
  startup_once BenchWindowSetFloor "$FLOOR" >/dev/null
  for _ in $(seq "$STARTUP_RUNS"); do
    tool_ms+=("$(startup_once LanchuanTimeSyncMain "$TOOL")")
    ref_ms+=("$(startup_once BenchMinimalWindow "$MINIMAL")")
    floor_ms+=("$(startup_once BenchWindowSetFloor "$FLOOR")")
  done
  echo "startup_runs=$STARTUP_RUNS"
  echo "startup_tool_ms=$(median "${tool_ms[@]}")"
  echo "startup_ref_ms=$(median "${ref_ms[@]}")"
  echo "startup_floor_ms=$(median "${floor_ms[@]}")"
  echo "startup_tool_samples=${tool_ms[*]}"
  echo "startup_ref_samples=${ref_ms[*]}"
  echo "startup_floor_samples=${floor_ms[*]}"
}

# --- idle cost -----------------------------------------------------------------
# Other Wine runs may be going on on this machine in other namespaces: only
# processes in this network namespace are ours.
OUR_NETNS=$(readlink /proc/self/ns/net)
find_our_pid() {  # pgrep -f pattern
  local pid
  for pid in $(pgrep -f "$1" || true); do
    [ "$(readlink "/proc/$pid/ns/net" 2>/dev/null)" = "$OUR_NETNS" ] && { echo "$pid"; return 0; }
  done
  return 1
}

cpu_ticks() {  # pid: utime + stime of all its threads, in clock ticks
  sed 's/^.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'
}

rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }

ticks_to_ms() { awk -v t="$1" -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.0f\n", t * 1000 / hz }'; }

# Runs one program for IDLE_SECONDS after it has settled and reports its CPU
# time, the wineserver's CPU time over the same span, and its resident memory.
measure_idle_of() {  # key exe pattern
  local key=$1 exe=$2 pattern=$3 pid= server_pid cpu0 cpu1 srv0 srv1 rss peak=0
  "$WINE_LOADER" "$exe" >/dev/null 2>&1 &
  local job=$!
  for _ in $(seq 100); do pid=$(find_our_pid "$pattern") && break; sleep 0.1; done
  [ -n "$pid" ] || { log "no process for $exe"; return 1; }
  server_pid=$(find_our_pid '^/usr/lib/wine/wineserver|wineserver$' || true)
  sleep 5  # past start-up and the tool's first update check (2 s)
  cpu0=$(cpu_ticks "$pid")
  srv0=$( [ -n "$server_pid" ] && cpu_ticks "$server_pid" || echo 0)
  for _ in $(seq "$((IDLE_SECONDS / 5))"); do
    sleep 5
    rss=$(rss_kb "$pid")
    [ "$rss" -gt "$peak" ] && peak=$rss
  done
  cpu1=$(cpu_ticks "$pid")
  srv1=$( [ -n "$server_pid" ] && cpu_ticks "$server_pid" || echo 0)
  echo "idle_${key}_cpu_ms=$(ticks_to_ms $((cpu1 - cpu0)))"
  echo "idle_${key}_wineserver_cpu_ms=$(ticks_to_ms $((srv1 - srv0)))"
  echo "idle_${key}_rss_kb=$rss"
  echo "idle_${key}_rss_peak_kb=$peak"
  echo "idle_${key}_threads=$(awk '/^Threads:/ { print $2 }' "/proc/$pid/status")"
  # Closed through its windows (WM_CLOSE) as a user would; killed if it stays.
  "$WINE_LOADER" taskkill /IM "$(basename "$exe")" >/dev/null 2>&1 || true
  for _ in $(seq 50); do kill -0 "$job" 2>/dev/null || break; sleep 0.1; done
  kill "$pid" 2>/dev/null || true
  wait "$job" 2>/dev/null || true
}

measure_idle() {
  log "idle: ${IDLE_SECONDS}s of the tool, then ${IDLE_SECONDS}s of the minimal program"
  echo "idle_seconds=$IDLE_SECONDS"
  measure_idle_of tool "$TOOL" 'LanchuanTimeSync\.exe'
  measure_idle_of ref "$MINIMAL" 'minimal_window\.exe'
}

# --- accuracy ------------------------------------------------------------------
# A server whose clock runs a known amount ahead, with a few ms of random answer
# delay, measured by `offset` (bisection) and by the window's whole-second
# method (`query`: server time minus PC time, both in whole seconds).
measure_accuracy() {
  local port=$((PORT + 1)) truth_ms=2375 url off whole off_err=() whole_err=()
  url="http://127.0.0.1:$port"
  "$PYTHON" "$SRC_DIR/bench/loopback_server.py" "$port" "$TMP/accuracy.ready" --lifetime 600 \
    --clock-offset "$(awk -v t=$truth_ms 'BEGIN { print t / 1000 }')" --jitter-ms 5 &
  local pid=$!
  for _ in $(seq 100); do [ -e "$TMP/accuracy.ready" ] && break; sleep 0.1; done
  log "accuracy: $ACCURACY_RUNS runs of offset and of query against a clock +$truth_ms ms ahead"
  for _ in $(seq "$ACCURACY_RUNS"); do
    off=$("$WINE_LOADER" "$CLI" offset "$url" 2>/dev/null | tr -d '\r' |
      sed -n 's/^combined offset: \([+-]\{0,1\}[0-9.]*\) ms.*/\1/p')
    whole=$("$WINE_LOADER" "$CLI" query "$url" 2>/dev/null | tr -d '\r' |
      sed -n 's/^difference: \([+-]\{0,1\}[0-9]*\) s.*/\1/p')
    [ -n "$off" ] && off_err+=("$(awk -v a="$off" -v t=$truth_ms 'BEGIN { d = a - t; print (d < 0 ? -d : d) }')")
    [ -n "$whole" ] && whole_err+=("$(awk -v a="$whole" -v t=$truth_ms 'BEGIN { d = a * 1000 - t; print (d < 0 ? -d : d) }')")
  done
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true
  mean() { printf '%s\n' "$@" | awk '{ s += $1; n++ } END { if (n) printf "%.1f\n", s / n; else print "n/a" }'; }
  echo "accuracy_truth_ms=$truth_ms"
  echo "accuracy_offset_err_ms=$(mean "${off_err[@]}")"
  echo "accuracy_whole_err_ms=$(mean "${whole_err[@]}")"
  echo "accuracy_offset_samples=${off_err[*]}"
  echo "accuracy_whole_samples=${whole_err[*]}"
}

# --- query cost ----------------------------------------------------------------
measure_query() {
  local url="http://127.0.0.1:$PORT" tool_ms=() curl_ms=() line
  "$PYTHON" "$SRC_DIR/bench/loopback_server.py" "$PORT" "$TMP/server.ready" --lifetime 900 &
  SERVER_PID=$!
  for _ in $(seq 100); do [ -e "$TMP/server.ready" ] && break; sleep 0.1; done
  [ -e "$TMP/server.ready" ] || { log "the loopback server did not start"; return 1; }
  log "query: one warm-up each, then $QUERY_RUNS alternating queries against $url"
  "$WINE_LOADER" "$CLI" query --timing "$url" >"$TMP/cli.out" 2>&1 || true
  curl -s -o /dev/null --head "$url/123.123" || true
  for _ in $(seq "$QUERY_RUNS"); do
    curl_ms+=("$(curl -s -o /dev/null -w '%{time_total}' --head "$url/123.123" |
      awk '{ printf "%.3f\n", $1 * 1000 }')")
    "$WINE_LOADER" "$CLI" query --timing "$url" >"$TMP/cli.out" 2>"$TMP/cli.err" || {
      log "the console companion's query failed: $(tr -d '\r' <"$TMP/cli.err" | tail -2)"
      return 1
    }
    line=$(tr -d '\r' <"$TMP/cli.out" | sed -n 's/^query time: \([0-9.]*\) ms$/\1/p')
    [ -n "$line" ] || { log "no timing line in: $(cat "$TMP/cli.out")"; return 1; }
    tool_ms+=("$line")
  done
  echo "query_runs=$QUERY_RUNS"
  echo "query_tool_ms=$(median "${tool_ms[@]}")"
  echo "query_curl_ms=$(median "${curl_ms[@]}")"
  echo "query_tool_samples=${tool_ms[*]}"
  echo "query_curl_samples=${curl_ms[*]}"
}

# --- offset beside htpdate -----------------------------------------------------
# The same real server (Python's threaded http.server) measured by `offset`
# (default probes) and by htpdate -p 9 in query mode (-q: it never sets the
# clock; -d prints the offset it found). libfaketime shifts the server's clock
# only, by fractions of a second that are not binary fractions. One server
# keeps connections alive, one closes each (stamping its Date when the request
# came, after a random few ms of work). Error = |measured - shift|; wall time of
# the whole program run.
# bench/run.sh passes the two programs of Debian's packages it unpacked.
HTPDATE=${BENCH_HTPDATE:-htpdate}
FAKETIME_LIB=${BENCH_FAKETIME_LIB:-/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1}
PEER_RUNS=${BENCH_PEER_RUNS:-3}

now_s() { date +%s.%N; }
elapsed_ms() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.0f\n", (b - a) * 1000 }'; }
error_ms() { awk -v m="$1" -v t="$2" 'BEGIN { d = m - t; printf "%.1f\n", d < 0 ? -d : d }'; }

start_shifted_server() {  # port shift-seconds ready-file extra-options...
  local port=$1 shift_s=$2 ready=$3
  shift 3
  [[ $shift_s == -* ]] || shift_s=+$shift_s  # libfaketime wants the sign
  # FAKETIME_FORCE_MONOTONIC_FIX=0: with libfaketime's rework of timed
  # condition waits, this Python server stalled now and then for 8-100 ms
  # (about 20 of 600 requests), a delay no real server has; without it, as
  # without libfaketime, none of 900 took longer than 8 ms.
  env LD_PRELOAD="$FAKETIME_LIB" FAKETIME_DONT_FAKE_MONOTONIC=1 FAKETIME_FORCE_MONOTONIC_FIX=0 \
    FAKETIME="${shift_s}s" \
    "$PYTHON" "$SRC_DIR/bench/loopback_server.py" "$port" "$ready" --lifetime 300 "$@" &
  PEER_SERVER_PID=$!
  for _ in $(seq 100); do [ -e "$ready" ] && break; sleep 0.1; done
  [ -e "$ready" ] || { log "the shifted server did not start"; return 1; }
}

# Appends "error wall covered" to $TMP/peer.<kind>.<program>, or "none wall"
# when the program found no offset.
peer_offset_run() {  # kind url truth-ms
  local kind=$1 url=$2 truth=$3 t0 t1 line off unc
  t0=$(now_s)
  line=$("$WINE_LOADER" "$CLI" offset "$url" 2>/dev/null | tr -d '\r' | grep '^combined offset: ' || true)
  t1=$(now_s)
  off=$(sed -n 's/^combined offset: \([+-]\{0,1\}[0-9.]*\) ms.*/\1/p' <<<"$line")
  unc=$(sed -n 's/.* +\/- \([0-9.]*\) ms.*/\1/p' <<<"$line")
  if [ -z "$off" ]; then
    echo "none $(elapsed_ms "$t0" "$t1") -" >>"$TMP/peer.$kind.offset"
    return
  fi
  # Both printed to 0.1 ms: covered when within the uncertainty plus the rounding.
  echo "$(error_ms "$off" "$truth") $(elapsed_ms "$t0" "$t1") $(awk -v o="$off" -v t="$truth" \
    -v u="$unc" 'BEGIN { d = o - t; if (d < 0) d = -d; print (d <= u + 0.1 ? "yes" : "no") }')" \
    >>"$TMP/peer.$kind.offset"
}

peer_htpdate_run() {  # kind url truth-ms
  local kind=$1 url=$2 truth=$3 t0 t1 off
  t0=$(now_s)
  off=$("$HTPDATE" -q -d -p 9 "$url" 2>&1 | sed -n 's/^offset: \([-0-9.]*\)$/\1/p' | tail -1 || true)
  t1=$(now_s)
  if [ -z "$off" ]; then
    echo "none $(elapsed_ms "$t0" "$t1") -" >>"$TMP/peer.$kind.htpdate"
    return
  fi
  echo "$(error_ms "$(awk -v o="$off" 'BEGIN { print o * 1000 }')" "$truth") $(elapsed_ms "$t0" "$t1") -" \
    >>"$TMP/peer.$kind.htpdate"
}

summarise_peer() {  # file -> "mean max wall-mean covered answered/total samples"
  awk '{ n++; w += $2; if ($1 != "none") { a++; e += $1; if ($1 > m) m = $1; s = s " " $1 }
         if ($3 == "yes") c++; if ($3 == "no") u++ }
       END { if (a) printf "mean=%.1f max=%.1f", e / a, m; else printf "mean=n/a max=n/a";
             printf " wall=%.0f answered=%d/%d", w / n, a, n;
             if (c + u) printf " covered=%d/%d", c, c + u; printf " errors=%s\n", s }' "$1"
}

measure_peer() {
  command -v "$HTPDATE" >/dev/null || { log "no htpdate ($HTPDATE)"; return 1; }
  [ -e "$FAKETIME_LIB" ] || { log "libfaketime is not installed"; return 1; }
  local shifts=(0.137 0.561 -0.823) port_keep=$((PORT + 2)) port_close=$((PORT + 3)) s truth
  # Wine's first start in a fresh prefix is slow; that is not the tool's.
  "$WINE_LOADER" "$CLI" --help >/dev/null 2>&1 || true
  for s in "${shifts[@]}"; do
    truth=$(awk -v s="$s" 'BEGIN { printf "%.0f\n", s * 1000 }')
    log "offset and htpdate -p 9 against servers shifted by ${s} s, $PEER_RUNS runs each"
    rm -f "$TMP"/peer-*.ready
    start_shifted_server "$port_keep" "$s" "$TMP/peer-keep.ready" --keep-alive
    local keep_pid=$PEER_SERVER_PID
    start_shifted_server "$port_close" "$s" "$TMP/peer-close.ready" --stamp arrival --jitter-ms 3
    local close_pid=$PEER_SERVER_PID
    for _ in $(seq "$PEER_RUNS"); do
      peer_offset_run keep "http://127.0.0.1:$port_keep" "$truth"
      peer_htpdate_run keep "http://127.0.0.1:$port_keep/" "$truth"
      peer_offset_run close "http://127.0.0.1:$port_close" "$truth"
      peer_htpdate_run close "http://127.0.0.1:$port_close/" "$truth"
    done
    kill "$keep_pid" "$close_pid" 2>/dev/null
    wait "$keep_pid" "$close_pid" 2>/dev/null || true
    local kind prog
    for kind in keep close; do
      for prog in offset htpdate; do
        echo "peer_${kind}_${prog}_${s}=$(summarise_peer "$TMP/peer.$kind.$prog" | sed 's/ errors=.*//')"
        cat "$TMP/peer.$kind.$prog" >>"$TMP/peer.$kind.$prog.all"
        rm -f "$TMP/peer.$kind.$prog"
      done
    done
  done
  for kind in keep close; do
    for prog in offset htpdate; do
      echo "peer_${kind}_${prog}=$(summarise_peer "$TMP/peer.$kind.$prog.all")"
    done
  done
}

if [ "${BENCH_ONLY:-}" = peer ]; then
  [ -f "$CLI" ] || { log "missing $CLI"; exit 2; }
  measure_peer
  exit 0
fi
for f in "$TOOL" "$CLI" "$MINIMAL" "$PROBE"; do
  [ -f "$f" ] || { log "missing $f"; exit 2; }
done
measure_startup
if [ "${BENCH_ONLY:-}" = footprint ]; then
  measure_idle
  exit 0
fi
measure_query
measure_accuracy
measure_peer
measure_idle
