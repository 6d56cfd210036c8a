#!/usr/bin/env bash
# signed_uninstaller.sh RECORDWRITER UNINSTALLER: a record appended and then signed with a
# throw-away certificate keeps both: the signature verifies, the dump reads the record back, and
# the uninstaller completes a silent run under Wine. One changed byte of the record fails both
# the signature and the uninstaller's record check. The writer refuses to append to a signed file.
# Needs the Wine environment of scripts/wine-env.sh. Prints "FAILED: ..." lines; exit 1 on any.
set -u
writer=$1 uninstaller=$2
drive=$WINEPREFIX/drive_c
work=$drive/signed_test
rm -rf "$work"; mkdir -p "$work/app"
fail=0
failed() { echo "FAILED: $*"; fail=1; }

cat >"$work/record.txt" <<'REC'
string 0 "%s Uninstall"
product SignedTest
file C:\signed_test\app\a.txt
directory C:\signed_test\app
key 0x5 HKCU\Software\CorvelSignedTest
REC
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
  -subj "/CN=Throw-away test signer" >/dev/null 2>&1 || failed "making the test certificate"
"$writer" "$work/record.txt" "$uninstaller" "$work/unsigned.exe" || failed "appending the record"
osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -in "$work/unsigned.exe" -out "$work/unins.exe" \
  >/dev/null || failed "signing"
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/unins.exe" >"$work/verify.log" 2>&1 ||
  { failed "the signed uninstaller does not verify"; cat "$work/verify.log"; }
# The record read back from the signed file: the statements as written.
if ! diff <("$writer" --dump "$work/unins.exe") "$work/record.txt"; then failed "--dump of the signed file"; fi

"$writer" "$work/record.txt" "$work/unins.exe" "$work/twice.exe" 2>"$work/refusal.txt"
code=$?
{ [ $code -eq 1 ] && grep -q "signed" "$work/refusal.txt" && [ ! -e "$work/twice.exe" ]; } ||
  failed "appending to a signed file: exit $code, $(cat "$work/refusal.txt")"

# One byte of the stored record changed in a signed copy (the byte after the record's offset).
python3 - "$work/unins.exe" "$work/changed.exe" <<'PY'
import struct, sys
b = bytearray(open(sys.argv[1], 'rb').read())
pe = struct.unpack_from('<I', b, 0x3C)[0]
magic = struct.unpack_from('<H', b, pe + 24)[0]
table = struct.unpack_from('<I', b, pe + 24 + (112 if magic == 0x20B else 96) + 32)[0]
start = struct.unpack_from('<I', b, table - 4)[0]
b[start + 5] ^= 0x01
open(sys.argv[2], 'wb').write(b)
PY
if osslsigncode verify -CAfile "$work/cert.pem" -in "$work/changed.exe" >/dev/null 2>&1; then
  failed "a changed record still verifies"
fi
"$writer" --dump "$work/changed.exe" >/dev/null 2>&1
code=$?
[ $code -eq 4 ] || failed "--dump of the changed record: exit $code, wanted 4 (corrupt)"

# The installation the record removes: one file, its folder and a registry key.
installed() {
  echo data >"$work/app/a.txt"
  wine reg add 'HKCU\Software\CorvelSignedTest\Sub' /v V /d x /f >/dev/null 2>&1
}
key_present() { wine reg query 'HKCU\Software\CorvelSignedTest' >/dev/null 2>&1; }
installed
# The changed copy stops before removing anything, with exit code 0.
wine "$work/changed.exe" /SILENT >/dev/null 2>&1
code=$?
{ [ $code -eq 0 ] && [ -f "$work/app/a.txt" ] && key_present; } ||
  failed "the changed record was not rejected: exit $code"
wine "$work/unins.exe" /SILENT >/dev/null 2>&1
code=$?
[ $code -eq 1 ] || failed "silent run of the signed uninstaller: exit $code, wanted 1"
[ ! -e "$work/app" ] || failed "the signed uninstaller left C:\\signed_test\\app"
! key_present || failed "the signed uninstaller left HKCU\\Software\\CorvelSignedTest"
rm -rf "$work"
exit $fail
