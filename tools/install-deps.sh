#!/bin/bash
# Installs what the build and the tests need on Debian 12, as root. Does
# nothing when everything is there already.
set -euo pipefail

PACKAGES=(
  cmake make g++ googletest python3 iproute2 util-linux procps openssl file locales curl
  g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64
  wine wine32:i386 wine64
  xvfb x11-utils xdotool imagemagick fonts-wqy-microhei
  clang libclang-rt-14-dev clang-format
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

# Wine takes its Unix charset from the glibc locale: without zh_CN.UTF-8 it
# cannot name files in Chinese (the logon shortcut) or read Chinese arguments.
ensure_locale() {
  if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
    echo "generating the zh_CN.UTF-8 locale"
    localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
  fi
}

if [ ${#missing[@]} -eq 0 ]; then
  ensure_locale
  exit 0
fi

if [ "$(id -u)" != 0 ]; then
  echo "missing packages: ${missing[*]} (run as root to install them)" >&2
  exit 1
fi

echo "installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
ensure_locale
