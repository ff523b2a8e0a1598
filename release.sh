#!/bin/bash
# Builds the release:
#   dist/LanchuanTimeSync-3.5.zip  the 32-bit program, the console companion
#                                  and 使用说明.txt (GBK, CRLF)
#   dist/LanchuanTimeSync-3.5.msi  the same files as a per-machine Windows
#                                  Installer package (packaging/LanchuanTimeSync.wxs)
#   dist/SHA256SUMS                both checksums, in sha256sum's format
# Only programs that passed the tests go out: ./test.sh leaves their checksums
# in build/win32/tested.sha256, and other programs are refused. --untested
# packs them anyway into files named ...-untested.zip/.msi.
# --sign FILE.pfx signs both programs (before they are packed) and the MSI
# with Authenticode and verifies each signature; the password comes from
# RELEASE_PFX_PASSWORD (may be empty), RELEASE_CA_FILE is the CA to verify
# against (else the system's), RELEASE_TIMESTAMP_URL adds an RFC 3161 time
# stamp (none by default: no network).
# The zip is reproducible: fixed entry order, times and attributes, so the same
# programs and guide give the same bytes. Entry times are SOURCE_DATE_EPOCH when
# set, else the time of the last commit.
# RELEASE_NO_BUILD=1 packs the programs as they are; LANCHUAN_WIN32_DIR names
# another 32-bit build folder than build/win32; RELEASE_DIST_DIR another output
# folder than dist; RELEASE_VERSION another version than 3.5 (to try upgrades).
set -euo pipefail
# The certificate, RELEASE_CA_FILE and RELEASE_DIST_DIR are taken from where
# this is run; LANCHUAN_WIN32_DIR and the defaults from the source folder.
CA_FILE=${RELEASE_CA_FILE:+$(readlink -f "$RELEASE_CA_FILE")}
DIST=$(readlink -f "${RELEASE_DIST_DIR:-$(dirname "$0")/dist}")
GUIDE_SOURCE=docs/使用说明.txt
GUIDE_NAME=使用说明.txt
PROGRAMS=(LanchuanTimeSync.exe LanchuanTimeSyncCli.exe)
WXS=packaging/LanchuanTimeSync.wxs

UNTESTED=0
PFX=
while [ $# -gt 0 ]; do
  case "$1" in
    --untested) UNTESTED=1 ;;
    --sign)
      [ $# -ge 2 ] || { echo "--sign needs a .pfx file" >&2; exit 2; }
      PFX=$(readlink -f "$2")
      [ -f "$PFX" ] || { echo "no such certificate file: $2" >&2; exit 2; }
      shift
      ;;
    *) echo "usage: release.sh [--untested] [--sign FILE.pfx]" >&2; exit 2 ;;
  esac
  shift
done
cd "$(dirname "$0")"
VERSION=${RELEASE_VERSION:-3.5}
WIN32_DIR=${LANCHUAN_WIN32_DIR:-build/win32}
[[ "$VERSION" =~ ^[0-9]+\.[0-9]+(\.[0-9]+)?$ ]] ||
  { echo "RELEASE_VERSION must be major.minor[.build], not '$VERSION'" >&2; exit 2; }
NAME=LanchuanTimeSync-$VERSION
[ $UNTESTED = 1 ] && NAME+=-untested

# The release's tools, from Debian, on this machine only (never in the product).
need_tools() {  # command:package...
  local missing=() pair
  for pair in "$@"; do
    command -v "${pair%%:*}" >/dev/null || missing+=("${pair#*:}")
  done
  [ ${#missing[@]} = 0 ] && return 0
  if [ "$(id -u)" != 0 ]; then
    echo "release.sh needs ${missing[*]} (run as root to install them)" >&2
    exit 1
  fi
  echo "installing: ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null ||
    { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; }
}
need_tools wixl:wixl msibuild:msitools
[ -n "$PFX" ] && need_tools osslsigncode:osslsigncode

if [ "${RELEASE_NO_BUILD:-}" != 1 ]; then
  tools/install-deps.sh
  cmake --no-warn-unused-cli -S . -B "$WIN32_DIR" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$WIN32_DIR" -j "${JOBS:-2}" --target LanchuanTimeSync --target LanchuanTimeSyncCli
fi

# Only the 32-bit programs are the product; a 64-bit build must not slip in.
for p in "${PROGRAMS[@]}"; do
  [ -f "$WIN32_DIR/$p" ] || { echo "missing $WIN32_DIR/$p" >&2; exit 1; }
  file -b "$WIN32_DIR/$p" | grep -q 'PE32 .*Intel 80386' ||
    { echo "$WIN32_DIR/$p is not a 32-bit Windows program" >&2; exit 1; }
done

# The gate: these very programs passed every test under Wine.
tested() {
  local stamp=$WIN32_DIR/tested.sha256 line
  [ -f "$stamp" ] || return 1
  while IFS= read -r line; do
    grep -qxF "$line" "$stamp" || return 1
  done < <(cd "$WIN32_DIR" && sha256sum "${PROGRAMS[@]}")
}
if ! tested; then
  if [ $UNTESTED = 0 ]; then
    echo "release.sh: the programs in $WIN32_DIR have not passed the tests: run ./test.sh on a machine" \
      "that runs 32-bit code, or pass --untested" >&2
    exit 1
  fi
  echo "warning: packing programs that have not passed the tests, as $DIST/$NAME.zip and .msi" >&2
fi

STAGE=$(mktemp -d)
trap 'rm -rf "$STAGE"' EXIT
mkdir "$STAGE/files"
for p in "${PROGRAMS[@]}"; do cp "$WIN32_DIR/$p" "$STAGE/files/$p"; done
# Notepad on a Chinese Windows reads GBK; CRLF so older Notepads break lines.
iconv -f UTF-8 -t GBK "$GUIDE_SOURCE" | sed 's/\r$//; s/$/\r/' >"$STAGE/files/$GUIDE_NAME"

# Authenticode: sign in place, then check the signature before anything is
# packed or summed.
sign() {  # file
  local timestamp=() ca=() password=(-readpass -)
  [ -n "${RELEASE_TIMESTAMP_URL:-}" ] && timestamp=(-ts "$RELEASE_TIMESTAMP_URL")
  [ -n "$CA_FILE" ] && ca=(-CAfile "$CA_FILE")
  # The password goes through a pipe, never onto a command line; osslsigncode
  # reads no empty one from there, and an empty one has nothing to hide.
  [ -z "${RELEASE_PFX_PASSWORD:-}" ] && password=(-pass "")
  printf '%s' "${RELEASE_PFX_PASSWORD:-}" |
    osslsigncode sign -pkcs12 "$PFX" "${password[@]}" -h sha256 -n LanchuanTimeSync "${timestamp[@]}" \
      -in "$1" -out "$1.signed" >"$STAGE/sign.log" 2>&1 ||
    { cat "$STAGE/sign.log" >&2; echo "could not sign $(basename "$1")" >&2; exit 1; }
  mv "$1.signed" "$1"
  osslsigncode verify "${ca[@]}" -in "$1" >"$STAGE/verify.log" 2>&1 ||
    { cat "$STAGE/verify.log" >&2; echo "the signature of $(basename "$1") does not verify" >&2; exit 1; }
}
if [ -n "$PFX" ]; then
  for p in "${PROGRAMS[@]}"; do sign "$STAGE/files/$p"; done
else
  echo "no certificate (--sign FILE.pfx): the programs and the MSI are not signed"
fi

EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 1767225600)}
mkdir -p "$DIST"
rm -f "$DIST/$NAME.zip" "$DIST/$NAME.msi" "$DIST/$NAME.zip.sha256" "$DIST/SHA256SUMS"
python3 - "$STAGE/files" "$DIST/$NAME.zip" "$EPOCH" "${PROGRAMS[@]}" "$GUIDE_NAME" <<'PY'
"""Writes the zip. Entry names are GBK without the UTF-8 flag, which is what
the zip support of a Chinese Windows reads, plus an Info-ZIP Unicode Path
field (0x7075) with the UTF-8 name for unzip, 7-Zip and WinRAR elsewhere."""
import binascii
import struct
import sys
import time
import zipfile

stage, out, epoch = sys.argv[1], sys.argv[2], int(sys.argv[3])
names = sys.argv[4:]
stamp = time.gmtime(max(epoch, 315532800))[:6]  # zip times start in 1980


class GbkZipInfo(zipfile.ZipInfo):
    def _encodeFilenameFlags(self):
        return self.filename.encode("gbk"), self.flag_bits


with zipfile.ZipFile(out, "w") as archive:
    for name in names:
        info = GbkZipInfo(name, date_time=stamp)
        info.compress_type = zipfile.ZIP_DEFLATED
        info.create_system = 0  # MS-DOS attributes
        info.external_attr = 0x20  # archive bit, nothing else
        raw = name.encode("gbk")
        if not name.isascii():
            utf8 = name.encode("utf-8")
            field = struct.pack("<BI", 1, binascii.crc32(raw)) + utf8
            info.extra = struct.pack("<HH", 0x7075, len(field)) + field
        with open(f"{stage}/{name}", "rb") as f:
            archive.writestr(info, f.read(), compresslevel=9)
PY

# The MSI. wixl 0.101 knows no ShortName and writes a database without a code
# page, dropping every non-ASCII text from its tables; Windows Installer wants
# "SHORT|long" file names. So wixl gets the source without ShortName, and
# msibuild then sets the database's code page to 936 (GBK, as the guide) and
# writes the names and the product name again from the source.
python3 - "$WXS" "$STAGE/product.wxs" "$STAGE/fixups.sql" "$VERSION" >"$STAGE/product_code" <<'PY'
import sys
import uuid
import xml.etree.ElementTree as ET

source, out, sql, version = sys.argv[1:5]
NS = "http://schemas.microsoft.com/wix/2006/wi"
ET.register_namespace("", NS)
tree = ET.parse(source)
queries = []


def q(text):
    return "'" + text.replace("'", "''") + "'"


# (element, table, name column, key column)
for element, table, column, key in (("File", "File", "FileName", "File"),
                                     ("Directory", "Directory", "DefaultDir", "Directory"),
                                     ("Shortcut", "Shortcut", "Name", "Shortcut")):
    for node in tree.iter(f"{{{NS}}}{element}"):
        short = node.attrib.pop("ShortName", None)
        if short:
            value = f"{short}|{node.get('Name')}"
            queries.append(f"UPDATE `{table}` SET `{column}` = {q(value)} WHERE `{key}` = {q(node.get('Id'))}")
product = tree.find(f"{{{NS}}}Product")
queries.append(f"UPDATE `Property` SET `Value` = {q(product.get('Name'))} WHERE `Property` = 'ProductName'")
tree.write(out, encoding="utf-8", xml_declaration=True)
with open(sql, "w", encoding="utf-8") as f:
    f.write("\n".join(queries) + "\n")
# One product code per version: the same version is the same product.
print(str(uuid.uuid5(uuid.UUID(product.get("UpgradeCode")), "LanchuanTimeSync " + version)).upper())
PY
printf '\r\n\r\n936\t_ForceCodepage\r\n' >"$STAGE/_ForceCodepage.idt"
MSI=$DIST/$NAME.msi
cp ui/images/app.ico "$STAGE/files/app.ico"  # the shortcut's and the uninstall entry's icon
(cd "$STAGE/files" && wixl -a x86 -D Version="$VERSION" -D ProductCode="$(cat "$STAGE/product_code")" \
  -o "$MSI" "$STAGE/product.wxs" 2>"$STAGE/wixl.log") ||
  { cat "$STAGE/wixl.log" >&2; echo "wixl could not build the MSI" >&2; exit 1; }
msibuild "$MSI" -i "$STAGE/_ForceCodepage.idt"
while IFS= read -r query; do msibuild "$MSI" -q "$query"; done <"$STAGE/fixups.sql"
[ -n "$PFX" ] && sign "$MSI"

(cd "$DIST" && sha256sum "$NAME.zip" "$NAME.msi" >SHA256SUMS)

echo "$DIST/$NAME.zip:"
for f in "${PROGRAMS[@]}" "$GUIDE_NAME"; do
  printf '  %9s bytes  %s\n' "$(stat -c %s "$STAGE/files/$f")" "$f"
done
printf '%s/%s.msi: %s bytes\n' "$DIST" "$NAME" "$(stat -c %s "$MSI")"
cat "$DIST/SHA256SUMS"
