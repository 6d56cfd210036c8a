#!/bin/sh
# version_help.sh VERSION TOOL...: each tool answers --version with "NAME VERSION" and --help
# with its usage, both on standard output with exit 0 and nothing on standard error; a wrong
# option gives exit 2 with the usage on standard error only.
version=$1; shift
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
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
exit $fail
