#!/bin/bash
# Installs what the build and the tests need on Debian 12, as root. Does
# nothing when everything is there already.
set -euo pipefail

PACKAGES=(
  cmake make g++ googletest python3 iproute2 util-linux procps openssl file locales curl
  g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64
  wine wine64
  xvfb x11-utils xdotool imagemagick fonts-wqy-microhei
  clang libclang-rt-14-dev clang-format
  tinyproxy
  wixl msitools osslsigncode
)

# 32-bit Wine only where the kernel runs 32-bit code: the same question
# tools/wine_env.sh asks of Wine's loader, asked here before Wine is there, of
# a 32-bit ELF of three instructions (exit(0) through int 0x80).
runs_32bit_code() {
  local probe
  probe=$(mktemp)
  printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
  chmod +x "$probe"
  local ok=1
  "$probe" 2>/dev/null && ok=0
  rm -f "$probe"
  return $ok
}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
missing=()
for p in "${PACKAGES[@]}"; do
  installed "$p" || missing+=("$p")
done
want_wine32=0
if runs_32bit_code && ! installed wine32:i386; then want_wine32=1; fi

# Wine takes its Unix charset from the glibc locale: without zh_CN.UTF-8 it
# cannot name files in Chinese (the logon shortcut) or read Chinese arguments.
ensure_locale() {
  if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
    echo "generating the zh_CN.UTF-8 locale"
    localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
  fi
}

if [ ${#missing[@]} -eq 0 ] && [ $want_wine32 = 0 ]; then
  ensure_locale
  exit 0
fi

if [ "$(id -u)" != 0 ]; then
  echo "missing packages: ${missing[*]} $([ $want_wine32 = 1 ] && echo wine32:i386) (run as root to install them)" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
# A mirror in the middle of a sync serves an index of the wrong size for a
# while ("Mirror sync in progress?"): try again a few times, then say which.
update_indexes() {
  local attempt log
  log=$(mktemp)
  for attempt in 1 2 3 4 5; do
    if apt-get update -qq 2>"$log" && ! grep -q '^[WE]: Failed to fetch' "$log"; then
      rm -f "$log"
      return 0
    fi
    echo "apt-get update, attempt $attempt: $(grep -m1 'Failed to fetch' "$log" || tail -n1 "$log")" >&2
    sleep $((attempt * 10))
  done
  echo "apt-get update kept failing; the index above could not be read. Installing from what is there." >&2
  rm -f "$log"
}

# An install that failed part way must not leave apt broken for the next run.
repair_apt() {
  apt-get check -qq >/dev/null 2>&1 && return 0
  apt-get install -y -qq -f >/dev/null 2>&1 || true
  apt-get check -qq >/dev/null 2>&1 && return 0
  # Still broken: take back the half-installed 32-bit packages.
  local half
  half=$(dpkg-query -W -f='${Package}:${Architecture} ${Status}\n' 2>/dev/null |
    awk '$1 ~ /:i386$/ && $4 != "installed" {print $1}')
  [ -n "$half" ] && apt-get purge -y -qq $half >/dev/null 2>&1
  apt-get check -qq >/dev/null 2>&1
}

# The sources without the security suites, in a folder of their own: while a
# security index lags (i386 behind amd64 for days), the main suites alone can
# still resolve wine32:i386. Uses the lists already fetched.
main_suites_only() {
  local dir=$1 f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -e "$f" ] || continue
    awk 'BEGIN { RS = ""; ORS = "\n\n" } !/Suites:[^\n]*security/' "$f" >"$dir/$(basename "$f")"
  done
  if [ -f /etc/apt/sources.list ]; then
    grep -v -e '^[[:space:]]*#' -e 'security' /etc/apt/sources.list >"$dir/main.list" || true
  fi
}

update_indexes
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [ $want_wine32 = 1 ]; then
  echo "installing: wine32:i386 (this kernel runs 32-bit code)"
  dpkg --print-foreign-architectures | grep -qx i386 || { dpkg --add-architecture i386 && update_indexes; }
  if ! apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null 2>"${TMPDIR:-/tmp}/wine32-install.log"; then
    repair_apt || true
    echo "wine32:i386 could not be installed from every suite ($(grep -m1 '^E:' "${TMPDIR:-/tmp}/wine32-install.log" || echo 'no reason given')); trying the main suites alone" >&2
    sources=$(mktemp -d)
    main_suites_only "$sources"
    if ! apt-get -o Dir::Etc::SourceParts="$sources" -o Dir::Etc::SourceList=/dev/null \
        install -y -qq --no-install-recommends wine32:i386 >/dev/null 2>&1; then
      repair_apt || true
      echo "wine32:i386 could not be installed; the Wine tests go on with the 64-bit build of the same sources" >&2
    fi
    rm -rf "$sources"
  fi
fi
ensure_locale
