#!/bin/sh
# version_help.sh VERSION TESSORY RECORDWRITER TEMPLATEC: each tool answers --version with
# "NAME VERSION" and --help with its usage, both on standard output with exit 0 and nothing on
# standard error; a wrong option gives exit 2 with the usage on standard error only. Then a few
# runs of each as users make them.
version=$1; shift
out=$(mktemp) err=$(mktemp) dir=$(mktemp -d)
trap 'rm -rf "$out" "$err" "$dir"' EXIT
fail=0
check() {  # check WHAT EXPECTED_CODE ACTUAL_CODE CONDITION...
  what=$1 want=$2 got=$3; shift 3
  if [ "$got" != "$want" ] || ! "$@"; then
    echo "FAILED: $what (exit $got, wanted $want)"; echo "-- stdout:"; cat "$out"; echo "-- stderr:"; cat "$err"
    fail=1
  fi
}
for tool in "$@"; do
  name=$(basename "$tool")
  "$tool" --version >"$out" 2>"$err"; code=$?
  printf '%s %s\n' "$name" "$version" >"$dir/version"
  check "$name --version" 0 $code cmp -s "$out" "$dir/version"
  check "$name --version (stderr)" 0 0 test ! -s "$err"
  "$tool" --help >"$out" 2>"$err"; code=$?
  check "$name --help" 0 $code grep -qi '^usage: ' "$out"
  check "$name --help (stderr)" 0 0 test ! -s "$err"
  "$tool" --no-such-option >"$out" 2>"$err"; code=$?
  check "$name --no-such-option" 2 $code grep -qi 'usage: ' "$err"
  check "$name --no-such-option (stdout)" 0 0 test ! -s "$out"
done
# The first tool lists folders: a device on standard output is written to directly, not through a
# temporary copy, so a full one fails as standard output itself, with exit 1.
echo x >"$dir/a.txt"
"$1" -q "$dir" >/dev/full 2>"$err"; code=$?
check "$(basename "$1") >/dev/full" 1 $code grep -q '^tessory: cannot write standard output' "$err"
# Without -q, standard error being no terminal: the summary alone, no progress line.
mkdir "$dir/one"
"$1" -o "$dir/l.htm" "$dir/one" >"$out" 2>"$err"; code=$?
printf 'tessory: Left out: 0 folders by the folder filter, 0 files by the file filters, 0 folders that could not be read, 0 links not followed.\n' >"$dir/expected"
check "$(basename "$1"), summary only" 0 $code cmp -s "$err" "$dir/expected"

# The other two end to end: the shipped template text compiled, a record appended to a stand-in
# uninstaller and dumped back as written; a missing input is exit 1.
cp "$(dirname "$0")"/../../uninstaller/template/default/* "$dir"/
"$3" "$dir/progress.tpl.txt" "$dir/p.tpl" "$dir/images.bin" >"$out" 2>"$err"; code=$?
check "templatec" 0 $code test "$(head -c 3 "$dir/p.tpl")" = RTT
check "templatec (two images)" 0 0 test "$(head -c 4 "$dir/images.bin" | od -An -tx1 | tr -d ' ')" = 00000002
mkdir "$dir/sub"
printf 'window\nimage key=1 file="%s/tick.bmp"\n' "$dir" >"$dir/sub/absolute.txt"
"$3" "$dir/sub/absolute.txt" "$dir/sub/a.tpl" "$dir/sub/a.bin" >"$out" 2>"$err"; code=$?
check "templatec, image by absolute path" 0 $code test -s "$dir/sub/a.bin"
printf 'template p.tpl\nproduct P\nfile C:\\abc\n' >"$dir/d.txt"
printf 'MZ stand-in' >"$dir/u.exe"
"$2" "$dir/d.txt" "$dir/u.exe" "$dir/r.exe" >"$out" 2>"$err"; code=$?
check "recordwriter" 0 $code test -s "$dir/r.exe"
mkdir "$dir/dump"
"$2" --dump "$dir/r.exe" "$dir/dump" >"$out" 2>"$err"; code=$?
check "recordwriter --dump" 0 $code cmp -s "$dir/dump/template.tpl" "$dir/p.tpl"
check "recordwriter --dump (description)" 0 0 test "$(cat "$out")" = "$(printf 'template template.tpl\nproduct P\nfile C:\\abc')"
"$2" --dump "$dir/u.exe" >"$out" 2>"$err"; code=$?
check "recordwriter --dump, no record" 3 $code grep -qF "carries no uninstallation record" "$err"
"$2" "$dir/d.txt" "$dir/missing.exe" "$dir/r2.exe" >"$out" 2>"$err"; code=$?
check "recordwriter, missing uninstaller" 1 $code grep -qF "cannot read $dir/missing.exe" "$err"
# A signed stand-in (a PE32 whose security directory names a table at the end): refused, naming
# the uninstaller to sign afterwards, and nothing written.
python3 -c "import struct, sys
b = bytearray(0x110); b[0:2] = b'MZ'; struct.pack_into('<I', b, 0x3C, 0x40); b[0x40:0x44] = b'PE\0\0'
struct.pack_into('<H', b, 0x54, 224); struct.pack_into('<H', b, 0x58, 0x10B); struct.pack_into('<I', b, 0xB4, 16)
struct.pack_into('<II', b, 0xD8, 0x100, 16); sys.stdout.buffer.write(b)" >"$dir/s.exe"
"$2" "$dir/d.txt" "$dir/s.exe" "$dir/s2.exe" >"$out" 2>"$err"; code=$?
printf 'corvel-recordwriter: %s is signed; a record appended now would break its signature.\nAppend the record to the unsigned uninstaller, then sign %s.\n' \
  "$dir/s.exe" "$dir/s2.exe" >"$dir/expected"
check "recordwriter, signed uninstaller" 1 $code cmp -s "$err" "$dir/expected"
check "recordwriter, signed uninstaller (nothing written)" 0 0 test ! -e "$dir/s2.exe"

# Layer keys as given: the stand-in, zeros up to a multiple of 8, the record wrapped inner layer
# first (each byte plus a key that grows by its step, then step, base and eight column sums),
# and the record's offset; --plain writes the record unwrapped.
"$2" --inner 7,255 --outer 255,1 --plain "$dir/plain.bin" "$dir/d.txt" "$dir/u.exe" "$dir/k.exe" >"$out" 2>"$err"; code=$?
python3 - "$dir" >"$dir/k-expected.exe" <<'EOF'
import struct, sys
def wrap(data, step, base):
    out, k = bytearray(), (base + step) & 255
    for b in data:
        out.append((b + k) & 255)
        k = (k + step) & 255
    out += bytes([step, base])
    sums = [0] * 8
    for i, b in enumerate(out):
        sums[i % 8] = (sums[i % 8] + b) & 255
    return bytes(out + bytes(sums))
exe = open(sys.argv[1] + "/u.exe", "rb").read()
stored = wrap(wrap(open(sys.argv[1] + "/plain.bin", "rb").read(), 7, 255), 255, 1)
pad = (8 - (len(exe) + len(stored) + 4) % 8) % 8
sys.stdout.buffer.write(exe + bytes(pad) + stored + struct.pack("<I", len(exe) + pad))
EOF
check "recordwriter --inner --outer --plain" 0 $code cmp -s "$dir/k.exe" "$dir/k-expected.exe"
check "recordwriter --plain (the record's marker)" 0 0 test "$(head -c 1 "$dir/plain.bin")" = '\'

# Wrong command lines, and files that cannot be read or written: the exit code and the whole
# message.
fails() {  # fails WHAT CODE EXPECTED_STDERR_FILE COMMAND...
  what=$1 want=$2 expected=$3
  shift 3
  "$@" >"$out" 2>"$err"; code=$?
  check "$what" "$want" $code cmp -s "$err" "$expected"
}
"$2" --help >"$dir/rw-usage"
"$3" --help >"$dir/tc-usage"
for args in "--inner 256,0" "--inner 1,256" "--inner 1,2x" "--outer 1"; do
  # shellcheck disable=SC2086
  fails "recordwriter $args" 2 "$dir/rw-usage" "$2" $args "$dir/d.txt" "$dir/u.exe" "$dir/o.exe"
done
fails "recordwriter, two files" 2 "$dir/rw-usage" "$2" "$dir/d.txt" "$dir/u.exe"
fails "recordwriter, an option it does not know" 2 "$dir/rw-usage" "$2" -x "$dir/d.txt" "$dir/u.exe"
fails "recordwriter, --plain without its file" 2 "$dir/rw-usage" "$2" "$dir/d.txt" "$dir/u.exe" "$dir/o.exe" --plain
fails "recordwriter --dump alone" 2 "$dir/rw-usage" "$2" --dump
fails "recordwriter --dump, three names" 2 "$dir/rw-usage" "$2" --dump "$dir/r.exe" "$dir" "$dir"
fails "templatec, one name" 2 "$dir/tc-usage" "$3" "$dir/progress.tpl.txt"
message() { printf '%s\n' "$1" >"$dir/expected"; }
message "corvel-recordwriter: cannot read $dir/missing.exe"
fails "recordwriter --dump, missing file" 1 "$dir/expected" "$2" --dump "$dir/missing.exe"
message "corvel-recordwriter: $dir/u.exe carries no uninstallation record"
fails "recordwriter --dump, no record (message)" 3 "$dir/expected" "$2" --dump "$dir/u.exe"
python3 -c "import sys; b = bytearray(open(sys.argv[1], 'rb').read()); b[20] ^= 1; sys.stdout.buffer.write(b)" \
  "$dir/r.exe" >"$dir/c.exe"
message "corvel-recordwriter: the uninstallation record of $dir/c.exe is corrupt"
fails "recordwriter --dump, corrupt record" 4 "$dir/expected" "$2" --dump "$dir/c.exe"
message "corvel-recordwriter: cannot write $dir/nodir/template.tpl"
fails "recordwriter --dump into a missing folder" 1 "$dir/expected" "$2" --dump "$dir/r.exe" "$dir/nodir"
message "cannot read $dir/missing.txt"
fails "recordwriter, missing description" 1 "$dir/expected" "$2" "$dir/missing.txt" "$dir/u.exe" "$dir/o.exe"
echo "frobnicate 1" >"$dir/wrong.txt"
message "$dir/wrong.txt: line 1: unknown word frobnicate"
fails "recordwriter, wrong description" 1 "$dir/expected" "$2" "$dir/wrong.txt" "$dir/u.exe" "$dir/o.exe"
message "cannot write $dir/nodir/p.bin"
fails "recordwriter --plain into a missing folder" 1 "$dir/expected" "$2" --plain "$dir/nodir/p.bin" "$dir/d.txt" "$dir/u.exe" "$dir/o.exe"
message "cannot write /dev/full"
fails "recordwriter onto a full device" 1 "$dir/expected" "$2" "$dir/d.txt" "$dir/u.exe" /dev/full
message "templatec: cannot read $dir/missing.txt"
fails "templatec, missing input" 1 "$dir/expected" "$3" "$dir/missing.txt" "$dir/p2.tpl"
message "templatec: cannot write $dir/nodir/p.tpl"
fails "templatec, template into a missing folder" 1 "$dir/expected" "$3" "$dir/progress.tpl.txt" "$dir/nodir/p.tpl"
message "templatec: cannot write /dev/full"
fails "templatec, images onto a full device" 1 "$dir/expected" "$3" "$dir/progress.tpl.txt" "$dir/p3.tpl" /dev/full
# A description's files are found beside it, wherever the uninstaller is; a backslash separates
# folders in its path too (descriptions come from Windows); an option's value may come last.
mkdir "$dir/desc"
cp "$dir/p.tpl" "$dir/desc/only.tpl"
printf 'template only.tpl\nproduct P\nfile C:\\abc\n' >"$dir/desc/d.txt"
cp "$dir/desc/d.txt" "$dir/desc\\d.txt"
for description in "$dir/desc/d.txt" "$dir/desc\\d.txt"; do
  "$2" "$description" "$dir/u.exe" "$dir/r3.exe" --outer 3,4 >"$out" 2>"$err"; code=$?
  check "recordwriter, $description" 0 $code test -s "$dir/r3.exe"
  rm -f "$dir/r3.exe"
done
printf 'window\nimage key=1 file="\\\\nope.bmp"\n' >"$dir/backslash.txt"
message "templatec: cannot read image \\nope.bmp"
fails "templatec, an image path from the root of a Windows drive" 1 "$dir/expected" "$3" "$dir/backslash.txt" "$dir/p7.tpl" "$dir/p7.bin"
printf 'window\nimage key=1 file="/"\n' >"$dir/root.txt"
message "templatec: cannot read image /"
fails "templatec, an image that is a folder" 1 "$dir/expected" "$3" "$dir/root.txt" "$dir/p5.tpl" "$dir/p5.bin"
# A backslash separates folders in the description's own path too (descriptions come from Windows).
printf 'window\nimage key=1 file="tick.bmp"\n' >"$dir/back\\slash.txt"
message "templatec: cannot read image $dir/back\\tick.bmp"
fails "templatec, a backslash in the description's path" 1 "$dir/expected" "$3" "$dir/back\\slash.txt" "$dir/p6.tpl" "$dir/p6.bin"
echo frame >"$dir/bad.txt"
printf '%s: line 1: unknown statement frame\n' "$dir/bad.txt" >"$dir/expected"
"$3" "$dir/bad.txt" "$dir/p4.tpl" >"$out" 2>"$err"; code=$?
check "templatec, wrong description" 1 $code cmp -s "$err" "$dir/expected"
exit $fail
