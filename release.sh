#!/bin/bash
# Builds the release package:
#   dist/LanchuanTimeSync-3.5.zip         the 32-bit program, the console
#                                         companion and 使用说明.txt (GBK, CRLF)
#   dist/LanchuanTimeSync-3.5.zip.sha256  its checksum, in sha256sum's format
# The zip is reproducible: fixed entry order, times and attributes, so the same
# programs and guide give the same bytes. Entry times are SOURCE_DATE_EPOCH when
# set, else the time of the last commit.
# RELEASE_NO_BUILD=1 packs the programs as they are; LANCHUAN_WIN32_DIR names
# another 32-bit build folder than build/win32.
set -euo pipefail
cd "$(dirname "$0")"

VERSION=3.5
NAME=LanchuanTimeSync-$VERSION
WIN32_DIR=${LANCHUAN_WIN32_DIR:-build/win32}
GUIDE_SOURCE=docs/使用说明.txt
GUIDE_NAME=使用说明.txt
PROGRAMS=(LanchuanTimeSync.exe LanchuanTimeSyncCli.exe)

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

STAGE=$(mktemp -d)
trap 'rm -rf "$STAGE"' EXIT
for p in "${PROGRAMS[@]}"; do cp "$WIN32_DIR/$p" "$STAGE/$p"; done
# Notepad on a Chinese Windows reads GBK; CRLF so older Notepads break lines.
iconv -f UTF-8 -t GBK "$GUIDE_SOURCE" | sed 's/\r$//; s/$/\r/' >"$STAGE/$GUIDE_NAME"

EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 1767225600)}
mkdir -p dist
rm -f "dist/$NAME.zip" "dist/$NAME.zip.sha256"
python3 - "$STAGE" "dist/$NAME.zip" "$EPOCH" "${PROGRAMS[@]}" "$GUIDE_NAME" <<'PY'
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
(cd dist && sha256sum "$NAME.zip" >"$NAME.zip.sha256")

echo "dist/$NAME.zip:"
for f in "${PROGRAMS[@]}" "$GUIDE_NAME"; do
  printf '  %9s bytes  %s\n' "$(stat -c %s "$STAGE/$f")" "$f"
done
cat "dist/$NAME.zip.sha256"
