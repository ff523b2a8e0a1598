#!/bin/bash
# Configures and builds both configurations: build/win32 (MinGW) and
# build/native (g++, ASan/UBSan, unit tests).
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}

cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win32 -j "$JOBS"

cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug \
  -DLANCHUAN_WIN32_DIR="$PWD/build/win32" >/dev/null
cmake --build build/native -j "$JOBS"
