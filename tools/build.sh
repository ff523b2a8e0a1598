#!/bin/bash
# Configures and builds every configuration: build/win32 (the product, MinGW
# i686), build/win64 (the same for Wine without 32-bit support) and
# build/native (g++, ASan/UBSan, unit tests).
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}

cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win32 -j "$JOBS"

# The same program as 64-bit Windows code: Wine runs it where the kernel has
# no 32-bit support (the tests pick whichever this machine can run).
cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win64 -j "$JOBS"

cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug \
  -DLANCHUAN_WIN32_DIR="$PWD/build/win32" -DLANCHUAN_WIN64_DIR="$PWD/build/win64" >/dev/null
cmake --build build/native -j "$JOBS"
