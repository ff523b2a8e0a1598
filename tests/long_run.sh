#!/bin/bash
# Leaves the tool running for MINUTES (10 by default) with the interval option
# at one second against a loopback time server, under Wine in the test rig, and
# prints its handle count, GDI objects and memory at the start and the end
# (tests/e2e/long_run_test.cpp; the default test run has a 45-second version).
# Usage: tests/long_run.sh [MINUTES]
# Builds the test program first in the build that Wine runs here (build/win64
# or build/win32, or LANCHUAN_WIN64_DIR / LANCHUAN_WIN32_DIR);
# LONG_RUN_NO_BUILD=1 takes it as it is.
set -euo pipefail
cd "$(dirname "$0")/.."

MINUTES=${1:-10}
if ! [[ "$MINUTES" =~ ^[0-9]+$ ]] || [ "$MINUTES" -lt 1 ]; then
  echo "usage: tests/long_run.sh [MINUTES]" >&2
  exit 2
fi

source tools/wine_env.sh
if [ "${LONG_RUN_NO_BUILD:-}" != 1 ]; then
  toolchain=cmake/toolchain-mingw64.cmake
  [ "$WINE_ARCH" = win32 ] && toolchain=cmake/toolchain-mingw32.cmake
  cmake -S . -B "$WINE_BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    >/dev/null
  cmake --build "$WINE_BUILD_DIR" -j "${JOBS:-2}" --target e2e_long_run_test >/dev/null
fi

run_seconds=$((MINUTES * 60))
echo "long run: $MINUTES min under Wine ($WINE_ARCH build in $WINE_BUILD_DIR)" >&2
LANCHUAN_LONG_RUN_SECONDS=$run_seconds WINE_TEST_TIMEOUT=$((run_seconds + 300)) \
  exec tests/rig/wine_test.sh e2e_long_run_test.exe
