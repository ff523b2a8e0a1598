#!/bin/bash
# Installs what is missing, builds the program and starts it under Wine with
# the Chinese ANSI code page (936). On $DISPLAY when there is one; otherwise on
# a private Xvfb, where a screenshot is saved to build/screenshot.png once the
# window is up, and the program is then closed.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
tools/build.sh product
source tools/wine_env.sh
EXE="$WINE_BUILD_DIR/LanchuanTimeSync.exe"
export WINEPREFIX=${WINEPREFIX:-$HOME/.wine-lanchuan-$WINE_ARCH}
if [ ! -d "$WINEPREFIX" ]; then
  echo "creating the Wine prefix $WINEPREFIX"
  "$WINE_LOADER" wineboot -i >/dev/null 2>&1
fi

if [ -n "${DISPLAY:-}" ]; then
  exec "$WINE_LOADER" "$EXE"
fi

XVFB_PID=
cleanup() {
  set +e
  timeout 20 wineserver -k >/dev/null 2>&1
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
}
trap cleanup EXIT
DISPLAY_FILE=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$DISPLAY_FILE" >/dev/null 2>&1 &
XVFB_PID=$!
for _ in $(seq 100); do [ -s "$DISPLAY_FILE" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$DISPLAY_FILE")"
rm -f "$DISPLAY_FILE"

"$WINE_LOADER" "$EXE" >/dev/null 2>&1 &
APP_PID=$!
WIN=
for _ in $(seq 300); do
  WIN=$(xdotool search --name "蓝川自动校时" 2>/dev/null | head -1 || true)
  [ -n "$WIN" ] && break
  sleep 0.1
done
if [ -z "$WIN" ]; then
  echo "the main window did not appear" >&2
  exit 1
fi
sleep 2  # first paint, first clock tick
mkdir -p build
import -window root -crop 280x366+372+201 build/screenshot.png
echo "screenshot: build/screenshot.png"
xdotool key --window "$WIN" Escape 2>/dev/null || true
for _ in $(seq 50); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.1; done
echo "closed"
