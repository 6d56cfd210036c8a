#!/usr/bin/env bash
# integrators_guide.sh TOOLS_BIN TEMPLATES UNINSTALLER: runs the shell blocks of
# docs/integrators.md as written (tools from TOOLS_BIN, the default template from TEMPLATES, a
# throw-away signing certificate), installs the example product under Wine as its setup would,
# removes it through the registered QuietUninstallString, and checks that nothing is left once
# Wine has restarted. Needs the Wine environment of scripts/wine-env.sh.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
bin=$(realpath "$1") templates=$(realpath "$2") uninstaller=$(realpath "$3")
drive=$WINEPREFIX/drive_c
work=$drive/guide_test
product="$drive/Program Files/Example Notes"
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ExampleNotes'
rm -rf "$work" "$product"; mkdir -p "$work"
fail=0
failed() { echo "FAILED: $*"; fail=1; }

# What the vendor has: the uninstaller from the zip and a code-signing certificate.
cp "$uninstaller" "$work/CorvelUninstaller.exe"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/vendor-key.pem" -out "$work/vendor-cert.pem" -days 2 \
  -subj "/CN=Example Vendor (test)" >/dev/null 2>&1 || failed "making the test certificate"

# The guide's shell blocks, in order.
awk '/^```sh$/ {on=1; next} /^```$/ {on=0} on' "$root/docs/integrators.md" >"$work/guide.sh"
[ -s "$work/guide.sh" ] || failed "no shell blocks in docs/integrators.md"
(cd "$work" && PATH="$bin:$PATH" TEMPLATES="$templates" bash -e guide.sh) >"$work/guide.log" 2>&1 ||
  { failed "the guide's commands"; cat "$work/guide.log"; }

# Setup: the product's files, its key and the uninstall entry.
mkdir -p "$product"
echo program >"$product/notes.exe"; echo readme >"$product/readme.txt"
cp "$work/uninstall.exe" "$product/uninstall.exe" || failed "no uninstall.exe"
wine reg add 'HKLM\Software\Example Vendor\Example Notes' /v Folder /d 'C:\Program Files\Example Notes' /f >/dev/null 2>&1
wine reg import 'C:\guide_test\uninstall-entry.reg' >/dev/null 2>&1 || failed "importing the uninstall entry"
wine reg query "$entry" /v DisplayName 2>/dev/null | grep -q 'Example Notes' || failed "the uninstall entry is not there"

# Removal as a script would do it: the entry's quiet command.
quiet=$(wine reg query "$entry" /v QuietUninstallString 2>/dev/null | sed -n 's/.*REG_SZ *//p' | tr -d '\r')
exe=$(sed -n 's/^"\([^"]*\)".*/\1/p' <<<"$quiet") args=$(sed -n 's/^"[^"]*" *//p' <<<"$quiet")
[ "$args" = "/SILENT" ] || failed "QuietUninstallString is \"$quiet\""
temp_files() { find "$drive/users" -iname 'uni*' 2>/dev/null | sort; }
before=$(temp_files)
wine "$exe" $args >/dev/null 2>&1
code=$?
[ $code -eq 1 ] || failed "the quiet uninstall ended with $code, wanted 1"
# The uninstaller deletes its own file at the next restart.
wine wineboot -r >/dev/null 2>&1
[ ! -e "$product" ] || failed "left behind: $(ls -A "$product")"
for key in 'HKLM\Software\Example Vendor' "$entry"; do
  ! wine reg query "$key" >/dev/null 2>&1 || failed "left behind: $key"
done
leftover=$(comm -13 <(echo "$before") <(temp_files))
[ -z "$leftover" ] || failed "left behind: $leftover"
rm -rf "$work"
exit $fail
