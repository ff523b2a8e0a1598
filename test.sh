#!/bin/bash
# Installs what is missing, checks the formatting, builds every configuration
# and runs every test (native unit tests and the Windows programs under Wine)
# through ctest.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
tools/format.sh
tools/build.sh
exec ctest --test-dir build/native --output-on-failure -j "${CTEST_JOBS:-2}" "$@"
