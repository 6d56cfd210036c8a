#!/bin/sh
# version_help.sh VERSION TOOL...: each tool answers --version with "NAME VERSION" and --help
# with its usage, both on standard output with exit 0 and nothing on standard error; a wrong
# option gives exit 2 with the usage on standard error only.
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
  check "$name --version" 0 $code test "$(cat "$out")" = "$name $version" -a ! -s "$err"
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
exit $fail
