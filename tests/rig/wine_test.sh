#!/bin/bash
# Runs one Windows test program under Wine, isolated:
#  - its own network namespace: loopback, a veth with a default route (so Wine
#    reports a connection) whose gateway answers nothing, a private hosts file
#    (tests/e2e/hosts) and a resolv.conf on loopback so unknown names fail at once;
#  - a throwaway WINEPREFIX (wineboot -i), LC_ALL=zh_CN.UTF-8 (code page 936),
#    TZ=Asia/Shanghai, a private Xvfb 1024x768;
#  - for programs whose name contains "offset", three tinyproxy servers on
#    loopback (start_proxies below);
#  - time-boxed; wineserver, Xvfb, the proxies and the prefix are cleaned up on
#    every path.
# Usage: wine_test.sh PROGRAM.exe [ARGS...]
#        wine_test.sh --script FILE [ARGS...]
# A bare program name is looked up in the build this machine's Wine can run
# (tools/wine_env.sh). With --script, `bash FILE ARGS` runs instead of a
# program, in the same surroundings, with WINE_LOADER, WINE_BUILD_DIR,
# WINEPREFIX and DISPLAY exported, for jobs that start several Wine processes
# and watch them from the Linux side (the benchmark).
set -euo pipefail

RIG_DIR=$(cd "$(dirname "$0")" && pwd)
SRC_DIR=$(cd "$RIG_DIR/../.." && pwd)
TEST_TIMEOUT=${WINE_TEST_TIMEOUT:-600}

if [ "${LANCHUAN_IN_NETNS:-}" != 1 ]; then
  exec unshare --net --mount env LANCHUAN_IN_NETNS=1 "$0" "$@"
fi

source "$SRC_DIR/tools/wine_env.sh"
export TZ=Asia/Shanghai
BUILD_DIR=$WINE_BUILD_DIR
SCRIPT=
if [ "${1:-}" = --script ]; then
  [ $# -ge 2 ] || { echo "usage: wine_test.sh --script FILE [ARGS...]" >&2; exit 2; }
  SCRIPT=$(readlink -f "$2")
  shift 2
  [ -f "$SCRIPT" ] || { echo "no such script: $SCRIPT" >&2; exit 2; }
else
  case "$1" in
    */*) EXE=$(readlink -f "$1") ;;
    *) EXE="$BUILD_DIR/$1" ;;
  esac
  shift
  [ -f "$EXE" ] || { echo "no such program: $EXE" >&2; exit 2; }
fi
if [ -z "$SCRIPT" ] && [ "$WINE_ARCH" = win64 ] && file -b "$EXE" | grep -q 'Intel 80386'; then
  echo "this machine's Wine cannot run 32-bit programs (no IA-32 emulation in the kernel);" >&2
  echo "build the 64-bit variant (-DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake) and pass that exe" >&2
  exit 2
fi

WORK=$(mktemp -d /tmp/lanchuan-wine.XXXXXX)
XVFB_PID=
PROXIES_PID=
cleanup() {
  set +e
  [ -n "$PROXIES_PID" ] && kill "$PROXIES_PID" 2>/dev/null && wait "$PROXIES_PID" 2>/dev/null
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    timeout 20 wineserver -k >/dev/null 2>&1
    timeout 20 wineserver -w >/dev/null 2>&1
  fi
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- network: nothing leaves this namespace ---------------------------------
mount --make-rprivate /
ip link set lo up
ip link add v0 type veth peer name v1
ip addr add 10.213.77.1/24 dev v0
ip link set v0 up
ip link set v1 up
# LANCHUAN_OFFLINE=1: no default route, so Wine reports no connection.
if [ "${LANCHUAN_OFFLINE:-}" != 1 ]; then
  ip route add default via 10.213.77.2
fi
sysctl -qw net.ipv4.ip_unprivileged_port_start=0 || true
cp "$SRC_DIR/tests/e2e/hosts" "$WORK/hosts"
echo "nameserver 127.0.0.1" > "$WORK/resolv.conf"
mount --bind "$WORK/hosts" /etc/hosts
mount --bind "$WORK/resolv.conf" /etc/resolv.conf

# --- proxies -------------------------------------------------------------------
# Real HTTP proxies (tinyproxy) for the companion's --proxy, in a mount
# namespace of their own whose hosts file adds proxied.test (127.0.0.77): a
# server there is reachable by that name only through them. 3128 lets
# 127.0.0.1 through, 3129 asks for Basic credentials lan:chuan (407 without),
# 3130 lets nobody from 127.0.0.1 through (403). Each adds a Via header.
start_proxies() {
  cp "$WORK/hosts" "$WORK/proxy-hosts"
  echo "127.0.0.77	proxied.test" >>"$WORK/proxy-hosts"
  local name port rule
  for proxy in "open 3128 Allow 127.0.0.1" "auth 3129 Allow 127.0.0.1" "deny 3130 Allow 127.0.0.2"; do
    read -r name port rule <<<"$proxy"
    printf 'Port %s\nListen 127.0.0.1\nTimeout 30\nMaxClients 50\nLogLevel Info\nViaProxyName "tinyproxy"\n%s\n' \
      "$port" "$rule" >"$WORK/tinyproxy-$name.conf"
  done
  echo "BasicAuth lan chuan" >>"$WORK/tinyproxy-auth.conf"
  unshare --mount bash -c 'mount --bind "$1/proxy-hosts" /etc/hosts
    for name in open auth deny; do
      tinyproxy -d -c "$1/tinyproxy-$name.conf" >"$1/tinyproxy-$name.log" 2>&1 &
    done
    trap "kill \$(jobs -p) 2>/dev/null" TERM
    wait' _ "$WORK" &
  PROXIES_PID=$!
  for port in 3128 3129 3130; do
    for _ in $(seq 50); do
      (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
      sleep 0.1
    done
  done
}
if [ -z "$SCRIPT" ] && [[ "$(basename "$EXE")" == *offset* ]]; then
  start_proxies
fi

# --- display ------------------------------------------------------------------
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$WORK/display" >/dev/null 2>&1 &
XVFB_PID=$!
for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
[ -s "$WORK/display" ] || { echo "Xvfb did not start" >&2; exit 2; }
export DISPLAY=":$(cat "$WORK/display")"

# --- Wine -----------------------------------------------------------------------
export WINEPREFIX="$WORK/prefix"
# No debugger on an unhandled exception: winedbg --auto would hold the faulting
# program (and the test waiting on it) until the time limit. Wine then prints
# its one line (address, thread) and the program ends at once with the
# exception's code.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winedbg.exe=d"
export LANCHUAN_SOURCE_DIR="$SRC_DIR"
export LANCHUAN_ARTIFACT_DIR="${LANCHUAN_ARTIFACT_DIR:-$SRC_DIR/build/screenshots}"
mkdir -p "$LANCHUAN_ARTIFACT_DIR"

timeout 120 "$WINE_LOADER" wineboot -i >"$WORK/wineboot.log" 2>&1 || { cat "$WORK/wineboot.log" >&2; exit 2; }
# Without a window manager, hiding a captioned window stalls; unmanaged avoids it.
timeout 60 "$WINE_LOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
timeout 60 wineserver -w || true
# Warm the prefix: a fresh prefix's first window brings up its desktop process
# (explorer /desktop, which makes the system tray) for the first time, with the
# prefix's first-start work. A trivial program does that here and is ended
# once its window is up (the desktop process then ends too), so that each test
# program's first window finds a prefix that has been through it: the tray
# comes up as quickly as on any later start. Tests still wait for the icon.
desktop_up() {  # this prefix's desktop process (other prefixes run beside it)
  local pid
  for pid in $(pgrep -f 'explorer\.exe /desktop'); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -xF "WINEPREFIX=$WINEPREFIX" >/dev/null &&
      return 0
  done
  return 1
}
"$WINE_LOADER" notepad >"$WORK/warm-up.log" 2>&1 &
WARM_PID=$!
# (xwininfo once hung here for minutes: each look is time-boxed, and so is
# the whole wait; grep reads all, as with pipefail an early exit fails the pipe)
warm_until=$((SECONDS + 20))
while [ $SECONDS -lt $warm_until ] && kill -0 "$WARM_PID" 2>/dev/null; do
  desktop_up && timeout 2 xwininfo -root -tree 2>/dev/null | grep '("notepad.exe"' >/dev/null && break
  sleep 0.1
done
if ! desktop_up; then
  echo "wine_test: warm-up: the prefix's desktop process was not up (the test goes on):" >&2
  grep -v -E '^(fixme|err|warn):' "$WORK/warm-up.log" | tail -n 3 >&2 || true
fi
kill "$WARM_PID" 2>/dev/null || true
wait "$WARM_PID" 2>/dev/null || true

# Output goes to files: Wine's services inherit handles and keep pipes open.
set +e
if [ -n "$SCRIPT" ]; then
  export WINE_LOADER WINE_BUILD_DIR DISPLAY WINEPREFIX
  timeout -k 10 "$TEST_TIMEOUT" bash "$SCRIPT" "$@" >"$WORK/stdout" 2>"$WORK/stderr"
else
  timeout -k 10 "$TEST_TIMEOUT" "$WINE_LOADER" "$EXE" "$@" >"$WORK/stdout" 2>"$WORK/stderr"
fi
rc=$?
set -e
cat "$WORK/stdout"
grep -v -E '^(fixme|err|warn):' "$WORK/stderr" >&2 || true
if [ $rc = 124 ]; then echo "wine_test: time-out after ${TEST_TIMEOUT}s" >&2; fi
if grep -q 'Unhandled .* at address' "$WORK/stderr"; then
  echo "wine_test: a Windows program faulted ($WINE_ARCH build):" >&2
  grep 'Unhandled .* at address' "$WORK/stderr" | sed 's/, starting debugger.*//; s/^/  /' >&2
  [ $rc = 0 ] && rc=1
fi

# Screenshots saved as BMP by the Windows side become PNG for people to look at.
for bmp in "$LANCHUAN_ARTIFACT_DIR"/*.bmp; do
  [ -e "$bmp" ] || continue
  convert "$bmp" "${bmp%.bmp}.png" 2>/dev/null && rm -f "$bmp"
done
exit $rc
