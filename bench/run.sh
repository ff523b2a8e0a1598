#!/bin/bash
# Benchmark: what the tool costs beside a reference measured in the same run.
#   start-up   process start to visible main window, against a minimal Win32
#              program that only shows a window, and the tool's window set
#              alone against the same (median of BENCH_STARTUP_RUNS, 11)
#   idle       CPU time and resident memory over BENCH_IDLE_SECONDS (60) of
#              normal running, against the same minimal program
#   query      the time query_server_time takes, against curl --head to the
#              same loopback server (median of BENCH_QUERY_RUNS, 10)
#   offset     the error and wall time of `offset` beside htpdate -p 9 (query
#              mode only: it never sets the clock) against the same real
#              servers, one keeping connections and one closing each, whose
#              clocks libfaketime shifts by 0.137, 0.561 and -0.823 s
#   sizes      the two programs, 32-bit product and 64-bit build, in bytes
# Everything under Wine runs in the test rig's network namespace. Prints one
# table and appends it, with the machine and Wine's version, to
# bench/results.md. Takes about four minutes.
# BENCH_NO_BUILD=1 measures the programs as they are built; BENCH_RESULTS names
# another results file (for trial runs); BENCH_ONLY=peer measures only the
# offset row (and builds only the 64-bit console companion, unless
# BENCH_NO_BUILD=1).
# htpdate and libfaketime come from Debian's packages: when they are not
# installed, the packages are downloaded and unpacked under build/bench-peer,
# never installed (the htpdate package would start a daemon that sets the clock).
set -euo pipefail
cd "$(dirname "$0")/.."
SRC_DIR=$PWD
RESULTS=${BENCH_RESULTS:-bench/results.md}

tools/install-deps.sh
source tools/wine_env.sh
export LANCHUAN_WIN32_DIR=${LANCHUAN_WIN32_DIR:-$SRC_DIR/build/win32}
export LANCHUAN_WIN64_DIR=${LANCHUAN_WIN64_DIR:-$SRC_DIR/build/win64}

build_product() {  # folder toolchain
  cmake --no-warn-unused-cli -S . -B "$1" -DCMAKE_TOOLCHAIN_FILE="$2" -DCMAKE_BUILD_TYPE=Release \
    >/dev/null
  cmake --build "$1" -j "${JOBS:-2}" --target LanchuanTimeSync --target LanchuanTimeSyncCli \
    >/dev/null
}

# The probe and the reference come from the compiler of the build that Wine
# runs here, with the product's warnings and its static linking.
build_bench_programs() {  # out-dir
  local cxx=x86_64-w64-mingw32-g++-posix
  [ "$WINE_ARCH" = win32 ] && cxx=i686-w64-mingw32-g++-posix
  local flags=(-std=c++17 -O2 -Wall -Wextra -Wshadow -Werror -static)
  mkdir -p "$1"
  "$cxx" "${flags[@]}" -mwindows -o "$1/minimal_window.exe" bench/minimal_window.cpp
  "$cxx" "${flags[@]}" -finput-charset=UTF-8 -fexec-charset=GBK -mwindows -I. \
    -o "$1/window_set_floor.exe" bench/window_set_floor.cpp ui/layout.cpp timesync/servers.cpp
  "$cxx" "${flags[@]}" -o "$1/launch_probe.exe" bench/launch_probe.cpp
}

# Sets BENCH_HTPDATE and BENCH_FAKETIME_LIB for bench/inside.sh.
peer_programs() {
  local dir=$SRC_DIR/build/bench-peer lib=/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1
  BENCH_HTPDATE=$(command -v htpdate || true)
  BENCH_FAKETIME_LIB=$lib
  if [ -z "$BENCH_HTPDATE" ] || [ ! -e "$lib" ]; then
    if [ ! -x "$dir/usr/sbin/htpdate" ] || [ ! -e "$dir$lib" ]; then
      echo "unpacking Debian's htpdate and libfaketime under $dir" >&2
      mkdir -p "$dir/debs"
      (cd "$dir/debs" && apt-get download htpdate libfaketime >/dev/null 2>&1) ||
        { apt-get update >/dev/null && (cd "$dir/debs" && apt-get download htpdate libfaketime); }
      for deb in "$dir"/debs/*.deb; do dpkg-deb -x "$deb" "$dir"; done
    fi
    [ -n "$BENCH_HTPDATE" ] || BENCH_HTPDATE=$dir/usr/sbin/htpdate
    [ -e "$lib" ] || BENCH_FAKETIME_LIB=$dir$lib
  fi
  export BENCH_HTPDATE BENCH_FAKETIME_LIB
}
peer_programs

if [ "${BENCH_ONLY:-}" = peer ]; then
  if [ "${BENCH_NO_BUILD:-}" != 1 ]; then
    cmake --no-warn-unused-cli -S . -B "$LANCHUAN_WIN64_DIR" \
      -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$LANCHUAN_WIN64_DIR" -j "${JOBS:-2}" --target LanchuanTimeSyncCli >/dev/null
  fi
  RAW=$(mktemp)
  trap 'rm -f "$RAW"' EXIT
  LANCHUAN_WIN64_DIR=$LANCHUAN_WIN64_DIR WINE_TEST_TIMEOUT=${WINE_TEST_TIMEOUT:-1500} \
    BENCH_ONLY=peer tests/rig/wine_test.sh --script bench/inside.sh "$SRC_DIR/build" >"$RAW"
  cat "$RAW"
  exit 0
fi

if [ "${BENCH_NO_BUILD:-}" != 1 ]; then
  echo "building the product (32-bit and 64-bit)" >&2
  build_product "$LANCHUAN_WIN32_DIR" cmake/toolchain-mingw32.cmake
  build_product "$LANCHUAN_WIN64_DIR" cmake/toolchain-mingw64.cmake
fi
BENCH_BIN=$SRC_DIR/build/bench-$WINE_ARCH
build_bench_programs "$BENCH_BIN"
RUN_WINE_BUILD_DIR=$LANCHUAN_WIN64_DIR
[ "$WINE_ARCH" = win32 ] && RUN_WINE_BUILD_DIR=$LANCHUAN_WIN32_DIR

LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)
RAW=$(mktemp)
trap 'rm -f "$RAW"' EXIT
echo "measuring under Wine ($WINE_ARCH build); this takes a few minutes" >&2
WINE_TEST_TIMEOUT=${WINE_TEST_TIMEOUT:-1500} \
  tests/rig/wine_test.sh --script bench/inside.sh "$BENCH_BIN" >"$RAW"

get() { sed -n "s/^$1=//p" "$RAW" | tail -1; }
for key in startup_tool_ms startup_ref_ms query_tool_ms query_curl_ms idle_tool_cpu_ms \
  idle_ref_cpu_ms idle_tool_rss_kb idle_ref_rss_kb; do
  [ -n "$(get "$key")" ] || { echo "benchmark incomplete: no $key" >&2; cat "$RAW" >&2; exit 1; }
done

# "a / b" as a ratio; a reference below one measurable unit gives no ratio.
ratio() { awk -v a="$1" -v b="$2" -v min="${3:-0}" \
  'BEGIN { if (b <= min) print "n/a (reference " b ")"; else printf "%.2fx\n", a / b }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f\n", k / 1024 }'; }
size_of() { if [ -f "$1" ]; then stat -c %s "$1"; else echo "not built"; fi; }
tick_ms=$(awk -v hz="$(getconf CLK_TCK)" 'BEGIN { print 1000 / hz }')

TABLE=$(cat <<EOF
| Figure | LanchuanTimeSync | Reference | Ratio |
|---|---:|---:|---:|
| Start-up to visible main window, median of $(get startup_runs) (ms) | $(get startup_tool_ms) | $(get startup_ref_ms) (minimal window) | $(ratio "$(get startup_tool_ms)" "$(get startup_ref_ms)") |
| The same, the tool's window set alone against the minimal window (ms) | $(get startup_floor_ms) (window set) | $(get startup_ref_ms) (minimal window) | $(ratio "$(get startup_floor_ms)" "$(get startup_ref_ms)") |
| Idle CPU, utime+stime over $(get idle_seconds) s (ms) | $(get idle_tool_cpu_ms) | $(get idle_ref_cpu_ms) (minimal window) | $(ratio "$(get idle_tool_cpu_ms)" "$(get idle_ref_cpu_ms)" "$tick_ms") |
| wineserver CPU over the same span (ms) | $(get idle_tool_wineserver_cpu_ms) | $(get idle_ref_wineserver_cpu_ms) (minimal window) | $(ratio "$(get idle_tool_wineserver_cpu_ms)" "$(get idle_ref_wineserver_cpu_ms)" "$tick_ms") |
| Idle resident memory, VmRSS at the end (MiB) | $(mib "$(get idle_tool_rss_kb)") | $(mib "$(get idle_ref_rss_kb)") (minimal window) | $(ratio "$(get idle_tool_rss_kb)" "$(get idle_ref_rss_kb)") |
| Peak VmRSS during the span (MiB) | $(mib "$(get idle_tool_rss_peak_kb)") | $(mib "$(get idle_ref_rss_peak_kb)") (minimal window) | $(ratio "$(get idle_tool_rss_peak_kb)" "$(get idle_ref_rss_peak_kb)") |
| Time query to loopback, median of $(get query_runs) (ms) | $(get query_tool_ms) | $(get query_curl_ms) (curl --head) | $(ratio "$(get query_tool_ms)" "$(get query_curl_ms)") |
| Accuracy: mean error against a server clock +$(get accuracy_truth_ms) ms ahead (ms) | $(get accuracy_offset_err_ms) (offset) | $(get accuracy_whole_err_ms) (whole-second query) | $(ratio "$(get accuracy_whole_err_ms)" "$(get accuracy_offset_err_ms)") better |
| offset beside htpdate -p 9, keep-alive server shifted 0.137/0.561/-0.823 s: error, wall time (ms) | $(get peer_keep_offset | sed 's/ errors=.*//') | $(get peer_keep_htpdate | sed 's/ errors=.*//') (htpdate) | |
| the same against a server closing each connection (Date at arrival, 0-3 ms work) | $(get peer_close_offset | sed 's/ errors=.*//') | $(get peer_close_htpdate | sed 's/ errors=.*//') (htpdate) | |
| LanchuanTimeSync.exe, 32-bit product (bytes) | $(size_of "$LANCHUAN_WIN32_DIR/LanchuanTimeSync.exe") | | |
| LanchuanTimeSyncCli.exe, 32-bit product (bytes) | $(size_of "$LANCHUAN_WIN32_DIR/LanchuanTimeSyncCli.exe") | | |
| LanchuanTimeSync.exe, 64-bit build (bytes) | $(size_of "$LANCHUAN_WIN64_DIR/LanchuanTimeSync.exe") | | |
| LanchuanTimeSyncCli.exe, 64-bit build (bytes) | $(size_of "$LANCHUAN_WIN64_DIR/LanchuanTimeSyncCli.exe") | | |
EOF
)

COMMIT=$(git rev-parse --short HEAD 2>/dev/null || echo unknown)
[ -z "$(git status --porcelain 2>/dev/null | head -1)" ] || COMMIT="$COMMIT (with uncommitted changes)"
MACHINE=$(cat <<EOF
- Commit: $COMMIT
- Machine: $(nproc) cores, $(awk '/^MemTotal:/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo) memory, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1); load average before the run $LOAD_BEFORE
- Wine: $("$WINE_LOADER" --version 2>/dev/null) ($WINE_ARCH build measured: $RUN_WINE_BUILD_DIR)
EOF
)
SAMPLES=$(cat <<EOF
- Start-up samples (ms): tool $(get startup_tool_samples); minimal $(get startup_ref_samples); window set $(get startup_floor_samples)
- Query samples (ms): tool $(get query_tool_samples); curl $(get query_curl_samples)
- Accuracy errors (ms): offset $(get accuracy_offset_samples); whole-second $(get accuracy_whole_samples)
- Errors beside htpdate (ms): keep-alive offset $(get peer_keep_offset | sed 's/.*errors=//'); htpdate $(get peer_keep_htpdate | sed 's/.*errors=//'); closing offset $(get peer_close_offset | sed 's/.*errors=//'); htpdate $(get peer_close_htpdate | sed 's/.*errors=//')
- Threads at the end of the idle span: tool $(get idle_tool_threads); minimal $(get idle_ref_threads)
EOF
)

echo
echo "$MACHINE"
echo
echo "$TABLE"
echo
if [ ! -f "$RESULTS" ]; then
  cat >"$RESULTS" <<'EOF'
# Benchmark results

Appended by `bench/run.sh`, one section per run; each figure is measured beside
its reference in the same run, so ratios from different machines compare better
than the absolute numbers. CPU times come from /proc (clock ticks of 10 ms).
EOF
fi
{
  echo
  echo "## Run of $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo
  echo "$MACHINE"
  echo
  echo "$TABLE"
  echo
  echo "$SAMPLES"
} >>"$RESULTS"
echo "appended to $RESULTS"
