#!/usr/bin/env bash
# Sets up and runs every test: native (AddressSanitizer + UBSan), Windows under Wine, and a bounded fuzz run.
# Usage: scripts/test.sh [native] [win32] [fuzz]   (default: all three)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

: "${BUILD_DIR:=build}"
: "${FUZZ_SECONDS:=20}"
export BUILD_DIR
jobs=$(nproc)
stages=("$@")
[ ${#stages[@]} -eq 0 ] && stages=(native win32 fuzz)
failed=0

for stage in "${stages[@]}"; do
  case "$stage" in
  native)
    echo "== native tests (AddressSanitizer + UBSan) =="
    cmake -S . -B "$BUILD_DIR/native" -DCMAKE_BUILD_TYPE=Debug -DTESSORY_SANITIZE=ON >/dev/null
    cmake --build "$BUILD_DIR/native" -j"$jobs"
    ASAN_OPTIONS=detect_leaks=1 ctest --test-dir "$BUILD_DIR/native" --output-on-failure || failed=1
    ;;
  win32)
    echo "== Windows tests under Wine (64-bit build) =="
    cmake -S . -B "$BUILD_DIR/win64" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$BUILD_DIR/win64" -j"$jobs"
    # shellcheck source=wine-env.sh
    . scripts/wine-env.sh
    ctest --test-dir "$BUILD_DIR/win64" --output-on-failure || failed=1
    echo "== shipped 32-bit programs (compiled and linked; this kernel cannot run them) =="
    cmake -S . -B "$BUILD_DIR/win32" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$BUILD_DIR/win32" -j"$jobs" --target deliverables || failed=1
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
        echo "fuzz $name: ok ($(grep -c . "$BUILD_DIR/fuzz/$name.log") log lines)"
      else
        echo "fuzz $name: FAILED"; tail -40 "$BUILD_DIR/fuzz/$name.log"; failed=1
      fi
    done
    ;;
  *) echo "unknown stage $stage" >&2; exit 2 ;;
  esac
done
exit $failed
