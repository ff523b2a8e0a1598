# Sourced by the scripts that start Windows programs under Wine. Picks the build
# this machine can run: the 32-bit product where Wine's 32-bit loader starts,
# else the 64-bit build of the same sources (a kernel without IA-32 emulation
# cannot run 32-bit code at all).
# Sets: WINE_ARCH, WINE_LOADER, WINE_BUILD_DIR, and WINE_TESTED_LINE (one
# line for people: which build the Wine tests run, and why).
_lanchuan_src=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  WINE_ARCH=win32
  WINE_LOADER=/usr/lib/wine/wine
  WINE_BUILD_DIR=${LANCHUAN_WIN32_DIR:-$_lanchuan_src/build/win32}
  WINE_TESTED_LINE="Wine tests run the 32-bit product (build/win32): this machine runs 32-bit code."
else
  WINE_ARCH=win64
  WINE_LOADER=/usr/lib/wine/wine64
  WINE_BUILD_DIR=${LANCHUAN_WIN64_DIR:-$_lanchuan_src/build/win64}
  WINE_TESTED_LINE="Wine tests run the 64-bit build of the same sources (build/win64), NOT the 32-bit product: Wine's 32-bit loader does not run here ($(/usr/lib/wine/wine --version 2>&1 | head -n1))."
fi
export WINEARCH=$WINE_ARCH WINELOADER=$WINE_LOADER
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
export TZ=${TZ:-Asia/Shanghai}
# LC_ALL picks the ANSI code page: zh_CN gives 936 (GBK), even without the
# glibc locale installed; with it (tools/install-deps.sh generates it) Wine can
# also name files in Chinese. Braces: bash warns when the locale is missing.
{ export LC_ALL=zh_CN.UTF-8; } 2>/dev/null
