#!/bin/bash
# release.sh without Wine: the gate that refuses untested programs, and
# --sign with a test certificate made here (a self-signed CA and a code-signing
# certificate it issued), whose signatures osslsigncode must accept, and reject
# once a signed file is changed.
# Usage: sign_and_gate.sh WIN32_BUILD_DIR
set -euo pipefail
SRC=$(cd "$(dirname "$0")/../.." && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir "$WORK/win32"
cp "$1/LanchuanTimeSync.exe" "$1/LanchuanTimeSyncCli.exe" "$WORK/win32/"
fail() { echo "FAIL: $*" >&2; exit 1; }
release() {  # dist-name release.sh-arguments...
  local dist=$WORK/$1
  shift
  RELEASE_NO_BUILD=1 LANCHUAN_WIN32_DIR=$WORK/win32 RELEASE_DIST_DIR=$dist "$SRC/release.sh" "$@" \
    >"$dist.out" 2>"$dist.err"
}

# The gate: rows of stamp, arguments, exit code, output name, a line expected on
# stderr (-: nothing on stderr).
stamp_real() { (cd "$WORK/win32" && sha256sum LanchuanTimeSync.exe LanchuanTimeSyncCli.exe); }
stamp_other() { stamp_real | sed '2s/^./0/;2s/^00/11/'; }
stamp_half() { stamp_real | sed -n 1p; }
while IFS='|' read -r stamp args want name line; do
  rm -f "$WORK/win32/tested.sha256"
  [ "$stamp" = none ] || "stamp_$stamp" >"$WORK/win32/tested.sha256"
  rc=0
  release "gate-$stamp$args" $args || rc=$?
  [ "$rc" = "$want" ] || fail "stamp $stamp, '$args': exit $rc, not $want: $(cat "$WORK/gate-$stamp$args.err")"
  if [ "$line" = - ]; then line='^'; [ ! -s "$WORK/gate-$stamp$args.err" ] || fail "stamp $stamp: stderr not empty"; fi
  [ "$line" = '^' ] || grep -q -- "$line" "$WORK/gate-$stamp$args.err" || fail "stamp $stamp, '$args': no '$line' in: $(cat "$WORK/gate-$stamp$args.err")"
  if [ -n "$name" ]; then
    (cd "$WORK/gate-$stamp$args" && [ -f "$name.zip" ] && [ -f "$name.msi" ] && sha256sum --quiet -c SHA256SUMS &&
      [ "$(awk '{ print $2 }' SHA256SUMS | tr '\n' ' ')" = "$name.zip $name.msi " ]) ||
      fail "stamp $stamp, '$args': not $name.zip, .msi and their SHA256SUMS: $(ls "$WORK/gate-$stamp$args")"
  fi
  echo "gate: stamp $stamp, '$args': exit $rc $name"
done <<'ROWS'
none||1||run ./test.sh on a machine that runs 32-bit code, or pass --untested
other||1||run ./test.sh
half||1||run ./test.sh
real||0|LanchuanTimeSync-3.5|-
none|--untested|0|LanchuanTimeSync-3.5-untested|^warning: .*not passed the tests
ROWS
grep -q 'not signed' "$WORK/gate-real.out" || fail "an unsigned release does not say so"

# A test CA and a code-signing certificate, in a .pfx with a password.
cd "$WORK"
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj /CN=Lanchuan-Test-CA \
  -addext basicConstraints=critical,CA:true -addext keyUsage=critical,keyCertSign 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr -subj /CN=Lanchuan-Test-Signer 2>/dev/null
printf 'extendedKeyUsage=codeSigning\nkeyUsage=digitalSignature\n' >ext.cnf
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile ext.cnf \
  -out signer.pem 2>/dev/null
openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -passout pass:s3cret -out signer.pfx

stamp_real >"$WORK/win32/tested.sha256"
RELEASE_PFX_PASSWORD=s3cret RELEASE_CA_FILE=$WORK/ca.pem release signed --sign signer.pfx ||
  fail "signed release: $(cat signed.err)"
mkdir signed/unpacked
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' \
  signed/LanchuanTimeSync-3.5.zip signed/unpacked
for f in signed/unpacked/LanchuanTimeSync.exe signed/unpacked/LanchuanTimeSyncCli.exe signed/LanchuanTimeSync-3.5.msi; do
  osslsigncode verify -CAfile ca.pem -in "$f" >verify.log 2>&1 || fail "$f: $(cat verify.log)"
  cmp -s "$f" "$WORK/win32/$(basename "$f")" && fail "$f is not signed"
  # One byte changed inside the signed range: the signature no longer holds.
  cp "$f" tampered
  printf 'X' | dd of=tampered bs=1 seek=$(($(stat -c %s "$f") / 3)) conv=notrunc status=none
  osslsigncode verify -CAfile ca.pem -in tampered >/dev/null 2>&1 && fail "$f changed after signing still verifies"
  echo "signed and verified: $(basename "$f"); changed after signing: rejected"
done
(cd signed && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the signed files"

# No release when signing or its check fails: wrong password, CA that did not issue the certificate.
while IFS='|' read -r password ca why; do
  rc=0
  RELEASE_PFX_PASSWORD=$password RELEASE_CA_FILE=$WORK/$ca release "bad-$ca-$password" --sign signer.pfx || rc=$?
  [ "$rc" = 1 ] || fail "$why: exit $rc, not 1"
  [ ! -e "bad-$ca-$password/SHA256SUMS" ] || fail "$why: SHA256SUMS written"
  echo "refused: $why"
done <<'ROWS'
wrong|ca.pem|a wrong password
s3cret|signer.pem|a signature that does not verify against the CA given
ROWS
