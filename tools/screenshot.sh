#!/bin/bash
# Runs inside the Wine rig (tests/rig/wine_test.sh --script): starts the tool,
# waits for its main window, saves a screenshot of it to build/screenshot.png
# and closes the tool with Esc.
set -euo pipefail
SRC_DIR=$(cd "$(dirname "$0")/.." && pwd)
"$WINE_LOADER" "$WINE_BUILD_DIR/LanchuanTimeSync.exe" >/dev/null 2>&1 &
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
sleep 2  # first paint and the first clock tick
# The window is centred on the 1024x768 screen.
import -window root -crop 280x366+372+201 "$SRC_DIR/build/screenshot.png"
echo "screenshot: build/screenshot.png"
xdotool key --window "$WIN" Escape 2>/dev/null || true
for _ in $(seq 50); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.1; done
echo "closed"
