#!/usr/bin/env bash
# Sets up and runs every test: native (AddressSanitizer + UBSan), Windows under Wine, and a bounded fuzz run.
# Usage: scripts/test.sh [native] [win32] [fuzz] [release]   (default: all four)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

: "${BUILD_DIR:=build}"
: "${FUZZ_SECONDS:=20}"
export BUILD_DIR
# Two X displays of this build's own (the 64-bit tests, the shipped 32-bit stage), kept for later
# runs: a prefix's desktop process stays on the display it started with. Displays another test
# run on this machine holds are passed over.
mkdir -p "$BUILD_DIR"
if [ -z "${DISPLAY_NUM:-}" ]; then
  if [ -s "$BUILD_DIR/display_num" ]; then
    DISPLAY_NUM=$(cat "$BUILD_DIR/display_num")
  else
    DISPLAY_NUM=97
    while [ -e "/tmp/.X$DISPLAY_NUM-lock" ] || [ -e "/tmp/.X$((DISPLAY_NUM + 1))-lock" ]; do
      DISPLAY_NUM=$((DISPLAY_NUM + 2))
    done
    echo "$DISPLAY_NUM" >"$BUILD_DIR/display_num"
  fi
fi
export DISPLAY_NUM
jobs=$(nproc)
stages=("$@")
[ ${#stages[@]} -eq 0 ] && stages=(native win32 fuzz release)
failed=0
passed_count=0 failed_count=0

# run_ctest DIR: runs one build's tests and adds them to the tally of the closing line.
run_ctest() {
  local log="$1/ctest.log"
  ctest --test-dir "$1" --output-on-failure 2>&1 | tee "$log" || failed=1
  local line total bad
  line=$(grep -E 'tests failed out of [0-9]+' "$log" | tail -1)
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<<"$line")
  if [ -z "$line" ]; then failed=1; failed_count=$((failed_count + 1)); return; fi
  passed_count=$((passed_count + total - bad)) failed_count=$((failed_count + bad))
}

for stage in "${stages[@]}"; do
  case "$stage" in
  native)
    echo "== native tests (AddressSanitizer + UBSan) =="
    cmake -S . -B "$BUILD_DIR/native" -DCMAKE_BUILD_TYPE=Debug -DTESSORY_SANITIZE=ON >/dev/null
    cmake --build "$BUILD_DIR/native" -j"$jobs"
    ASAN_OPTIONS=detect_leaks=1 run_ctest "$BUILD_DIR/native"
    ;;
  win32)
    echo "== Windows tests under Wine (64-bit build) =="
    cmake -S . -B "$BUILD_DIR/win64" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$BUILD_DIR/win64" -j"$jobs"
    # The shipped 32-bit programs, as built for shipping, run on Wine's 32-bit loader under
    # qemu-i386 in a prefix and on a display of their own, alongside the 64-bit tests.
    cmake -S . -B "$BUILD_DIR/win32" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
    shipped32=""
    if cmake --build "$BUILD_DIR/win32" -j"$jobs" --target deliverables shipped32_control >"$BUILD_DIR/win32.log" 2>&1; then
      passed_count=$((passed_count + 1))
      tests/win32_shipped/run.sh >"$BUILD_DIR/shipped32.log" 2>&1 &
      shipped32=$!
    else
      failed=1 failed_count=$((failed_count + 1)); echo "32-bit build: FAILED"; tail -40 "$BUILD_DIR/win32.log"
    fi
    # Every program's manifest names its own machine, in both builds.
    programs=("$BUILD_DIR"/win64/bin/{Tessory,CorvelUninstaller}.exe)
    [ -n "$shipped32" ] && programs+=("$BUILD_DIR"/win32/bin/{Tessory,CorvelUninstaller}.exe)
    if python3 tests/pe/manifest_matches_machine.py "${programs[@]}"; then
      passed_count=$((passed_count + 1))
    else
      failed=1 failed_count=$((failed_count + 1))
    fi
    # shellcheck source=wine-env.sh
    . scripts/wine-env.sh
    run_ctest "$BUILD_DIR/win64"
    if [ -n "$shipped32" ]; then
      echo "== shipped 32-bit programs (Wine's 32-bit loader under qemu-i386) =="
      wait "$shipped32" || failed=1
      cat "$BUILD_DIR/shipped32.log"
      ok=$(grep -c '^shipped32 .*: ok$' "$BUILD_DIR/shipped32.log" || true)
      bad=$(grep -c '^shipped32 .*: FAILED' "$BUILD_DIR/shipped32.log" || true)
      [ $((ok + bad)) -gt 0 ] || bad=1  # the stage ended before any check
      passed_count=$((passed_count + ok)) failed_count=$((failed_count + bad))
    fi
    ;;
  fuzz)
    echo "== fuzzing, ${FUZZ_SECONDS}s a target =="
    CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR/fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSORY_FUZZ=ON >/dev/null
    cmake --build "$BUILD_DIR/fuzz" -j"$jobs" --target fuzzers
    for target in "$BUILD_DIR"/fuzz/fuzzers/*; do
      [ -x "$target" ] || continue
      name=$(basename "$target")
      corpus="$BUILD_DIR/fuzz/corpus/$name"
      mkdir -p "$corpus"
      seeds=()
      [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
      if "$target" -max_total_time="$FUZZ_SECONDS" -print_final_stats=0 "$corpus" "${seeds[@]}" >"$BUILD_DIR/fuzz/$name.log" 2>&1; then
        echo "fuzz $name: ok, $(grep -E '^Done [0-9]+ runs' "$BUILD_DIR/fuzz/$name.log" | tail -1)"
        passed_count=$((passed_count + 1))
      else
        echo "fuzz $name: FAILED"; tail -40 "$BUILD_DIR/fuzz/$name.log"; failed=1 failed_count=$((failed_count + 1))
      fi
    done
    ;;
  release)
    # --- release checks: packages, lintian, the .deb in a scratch root, the zip, a signed
    # uninstaller and the integrator's guide under Wine (tests/release/run.sh), one count each.
    echo "== release: packages, signed uninstaller, integrator's guide =="
    tests/release/run.sh 2>&1 | tee "$BUILD_DIR/release.log"
    ok=$(grep -c '^release .*: ok' "$BUILD_DIR/release.log" || true)
    bad=$(grep -c '^release .*: FAILED' "$BUILD_DIR/release.log" || true)
    [ $((ok + bad)) -gt 0 ] || bad=1  # the stage ended before any check
    [ "$bad" -eq 0 ] || failed=1
    passed_count=$((passed_count + ok)) failed_count=$((failed_count + bad))
    ;;
  *) echo "unknown stage $stage" >&2; exit 2 ;;
  esac
done
# Test programs, the 32-bit build, the checks of the shipped 32-bit programs, the fuzz targets and the release checks, one count each.
echo "tests: ${passed_count} passed, ${failed_count} failed"
exit $failed
