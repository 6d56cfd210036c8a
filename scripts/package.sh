#!/usr/bin/env bash
# Builds what is shipped, into $BUILD_DIR/packages:
#   deb: the Debian package of the native tools (a Release build of its own, then cpack);
#   zip: the 32-bit Windows programs with help.chm and a short readme.
# Usage: scripts/package.sh [deb] [zip]   (default: both)
set -euo pipefail
cd "$(dirname "$0")/.."
: "${BUILD_DIR:=build}"
# Dates stamped into what is built come from the last commit, so that rebuilding gives the same bytes.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 0)}
export SOURCE_DATE_EPOCH
out=$(realpath -m "$BUILD_DIR/packages")
mkdir -p "$out"
jobs=$(nproc)
parts=("$@")
[ ${#parts[@]} -eq 0 ] && parts=(deb zip)

for part in "${parts[@]}"; do
  case "$part" in
  deb)
    # The tools only, hardened as Debian builds them; tests are not built here.
    cmake -S . -B "$BUILD_DIR/release" -DCMAKE_BUILD_TYPE=Release -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
      -DCMAKE_CXX_FLAGS="-D_FORTIFY_SOURCE=2 -fstack-protector-strong" \
      -DCMAKE_EXE_LINKER_FLAGS="-Wl,-z,relro,-z,now" >/dev/null
    cmake --build "$BUILD_DIR/release" -j"$jobs" --target tessory corvel-recordwriter templatec release_files >/dev/null
    (cd "$BUILD_DIR/release" && cpack -G DEB -B "$out/cpack" >/dev/null)
    mv "$out"/cpack/*.deb "$out/"
    rm -rf "$out/cpack"
    ls "$out"/*.deb
    ;;
  zip)
    cmake -S . -B "$BUILD_DIR/win32" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$BUILD_DIR/win32" -j"$jobs" --target deliverables >/dev/null
    version=$(sed -n 's/^#define TESSORY_VERSION_TEXT "\(.*\)"$/\1/p' "$BUILD_DIR/win32/generated/project_version.h")
    stage="$out/tessory-$version-win32"
    rm -rf "$stage" "$stage.zip"
    mkdir -p "$stage"
    cp "$BUILD_DIR"/win32/bin/{Tessory.exe,help.chm,CorvelUninstaller.exe} "$stage/"
    # Windows line ends in the readme, for Notepad.
    sed "s/@PROJECT_VERSION@/$version/; s/\$/\r/" docs/zip-readme.txt >"$stage/README.txt"
    # Same names, order and times on every build: the zip's bytes depend on the programs only.
    touch -d "@$SOURCE_DATE_EPOCH" "$stage"/*
    (cd "$out" && zip -q -X -D -9 "$(basename "$stage").zip" \
      "$(basename "$stage")"/{Tessory.exe,help.chm,CorvelUninstaller.exe,README.txt})
    rm -rf "$stage"
    ls "$stage.zip"
    ;;
  *) echo "unknown part $part" >&2; exit 2 ;;
  esac
done
