#!/bin/bash
# Configures and builds every configuration:
#   build/win32  the product, 32-bit Windows (MinGW i686)
#   build/win64  the same sources as 64-bit Windows, for Wine on machines whose
#                kernel cannot run 32-bit code
#   build/native g++ with ASan/UBSan: the portable logic and its unit tests
# "tools/build.sh product" builds only the two programs.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}
PRODUCT_TARGETS=(--target LanchuanTimeSync --target LanchuanTimeSyncCli)

configure_windows() {  # folder toolchain
  cmake -S . -B "$1" -DCMAKE_TOOLCHAIN_FILE="$2" -DCMAKE_BUILD_TYPE=Release >/dev/null
}

configure_windows build/win32 cmake/toolchain-mingw32.cmake
configure_windows build/win64 cmake/toolchain-mingw64.cmake

if [ "${1:-}" = product ]; then
  cmake --build build/win32 -j "$JOBS" "${PRODUCT_TARGETS[@]}"
  cmake --build build/win64 -j "$JOBS" "${PRODUCT_TARGETS[@]}"
  exit 0
fi

cmake --build build/win32 -j "$JOBS"
cmake --build build/win64 -j "$JOBS"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug \
  -DLANCHUAN_WIN32_DIR="$PWD/build/win32" -DLANCHUAN_WIN64_DIR="$PWD/build/win64" >/dev/null
cmake --build build/native -j "$JOBS"
