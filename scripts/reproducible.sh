#!/usr/bin/env bash
# Builds the shipped programs twice from this checkout, in two fresh folders with the compiler
# cache off, and compares them byte for byte. Prints one line a file and how long it took.
# Usage: scripts/reproducible.sh [FILE...]   (default: Tessory.exe CorvelUninstaller.exe help.chm)
set -uo pipefail
cd "$(dirname "$0")/.."
: "${BUILD_DIR:=build}"
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 0)}
export SOURCE_DATE_EPOCH CCACHE_DISABLE=1
files=("$@")
[ ${#files[@]} -eq 0 ] && files=(Tessory.exe CorvelUninstaller.exe help.chm)
start=$SECONDS
for side in a b; do
  dir=$BUILD_DIR/reproducible-$side
  rm -rf "$dir"
  cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null &&
    cmake --build "$dir" -j"$(nproc)" --target deliverables >"$dir.log" 2>&1 || { echo "build $side failed"; tail -20 "$dir.log"; exit 1; }
done
status=0
for file in "${files[@]}"; do
  if cmp -s "$BUILD_DIR/reproducible-a/bin/$file" "$BUILD_DIR/reproducible-b/bin/$file"; then
    echo "$file: identical"
  else
    echo "$file: DIFFERS ($(cmp -l "$BUILD_DIR/reproducible-a/bin/$file" "$BUILD_DIR/reproducible-b/bin/$file" 2>/dev/null | wc -l) bytes)"
    status=1
  fi
done
echo "two builds and the comparison took $((SECONDS - start))s"
exit $status
