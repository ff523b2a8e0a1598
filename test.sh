#!/bin/bash
# Installs what is missing, checks the formatting, builds every configuration
# and runs every test (native unit tests and the Windows programs under Wine)
# through ctest. When every test passed against the 32-bit product, the
# product's SHA-256 goes to build/win32/tested.sha256: release.sh packages
# only exes that match it.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
tools/format.sh
tools/build.sh
source tools/wine_env.sh
echo "$WINE_TESTED_LINE"
rm -f build/win32/tested.sha256
status=0
ctest --test-dir build/native --output-on-failure -j "${CTEST_JOBS:-2}" "$@" || status=$?
if [ $status = 0 ] && [ $# = 0 ] && [ "$WINE_ARCH" = win32 ]; then
  (cd build/win32 && sha256sum LanchuanTimeSync.exe LanchuanTimeSyncCli.exe >tested.sha256)
  echo "the 32-bit product passed every test here: build/win32/tested.sha256 lets release.sh package it"
fi
echo "$WINE_TESTED_LINE"
exit $status
