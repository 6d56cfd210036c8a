#!/usr/bin/env bash
# What is shipped, checked as a user and an integrator meet it: the packages build and lintian
# finds no error in the .deb; the .deb unpacked into a scratch root runs `tessory --version`; the
# zip holds the four files and both programs carry the project's version; a signed uninstaller
# keeps its record; the integrator's guide runs as written under Wine.
# One line a check: "release NAME: ok (Ns)" or "release NAME: FAILED (Ns)" with its log's tail.
# Uses BUILD_DIR and DISPLAY_NUM like scripts/wine-env.sh; RELEASE_REPRODUCIBLE=1 adds the
# two-build comparison (scripts/reproducible.sh, long).
set -u
cd "$(dirname "$0")/../.."
: "${BUILD_DIR:=build}"
export BUILD_DIR
logs=$BUILD_DIR/release-logs
packages=$BUILD_DIR/packages
scratch=$BUILD_DIR/release-root
mkdir -p "$logs"

check() {  # check NAME COMMAND...
  local name=$1 start=$SECONDS
  shift
  if "$@" >"$logs/$name.log" 2>&1; then
    echo "release $name: ok ($((SECONDS - start))s)"
  else
    echo "release $name: FAILED ($((SECONDS - start))s)"
    tail -40 "$logs/$name.log"
  fi
}

version() { sed -n 's/^#define TESSORY_VERSION_TEXT "\(.*\)"$/\1/p' "$BUILD_DIR/release/generated/project_version.h"; }

lintian_no_errors() {
  # Warnings and notes are shown in the log; only errors fail.
  lintian --fail-on error --display-info "$packages/tessory_$(version)_amd64.deb"
}

deb_in_scratch_root() {
  rm -rf "$scratch"
  dpkg -x "$packages/tessory_$(version)_amd64.deb" "$scratch" || return 1
  [ "$("$scratch/usr/bin/tessory" --version)" = "tessory $(version)" ] || return 1
  for page in tessory corvel-recordwriter templatec; do
    man -l "$scratch/usr/share/man/man1/$page.1.gz" >/dev/null || return 1
  done
  [ -f "$scratch/usr/share/doc/tessory/integrators.md" ] && [ -f "$scratch/usr/share/doc/tessory/copyright" ]
}

zip_contents_and_versions() {
  local zip=$packages/tessory-$(version)-win32.zip dir
  unzip -Z1 "$zip" | sort | diff - <(for f in CorvelUninstaller.exe README.txt Tessory.exe help.chm; do
    echo "tessory-$(version)-win32/$f"; done) || return 1
  dir=$(mktemp -d)
  unzip -q "$zip" -d "$dir" &&
    python3 - "$(version)" "$dir"/*/Tessory.exe "$dir"/*/CorvelUninstaller.exe <<'PY'
import struct, sys
major, minor, patch = (int(p) for p in sys.argv[1].split('.'))
for exe in sys.argv[2:]:
    data = open(exe, 'rb').read()
    at = data.find(struct.pack('<I', 0xFEEF04BD))  # VS_FIXEDFILEINFO
    ms, ls = struct.unpack_from('<II', data, at + 8)
    text = sys.argv[1].encode('utf-16-le')
    assert at > 0 and (ms, ls) == ((major << 16) | minor, patch) and text in data, exe
PY
  local ok=$?
  rm -rf "$dir"
  return $ok
}

start=$SECONDS
check packages scripts/package.sh
check lintian lintian_no_errors
check deb_install deb_in_scratch_root
check zip zip_contents_and_versions
# The Windows checks run the 64-bit uninstaller (the fast test bed) with the packaged tools.
cmake -S . -B "$BUILD_DIR/win64" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null 2>&1 &&
  cmake --build "$BUILD_DIR/win64" -j"$(nproc)" --target CorvelUninstaller >/dev/null
# shellcheck source=../../scripts/wine-env.sh
. scripts/wine-env.sh
check signed_uninstaller tests/release/signed_uninstaller.sh "$scratch/usr/bin/corvel-recordwriter" \
  "$BUILD_DIR/win64/bin/CorvelUninstaller.exe"
check integrators_guide tests/release/integrators_guide.sh "$scratch/usr/bin" "$scratch/usr/share/tessory/default-template" \
  "$BUILD_DIR/win64/bin/CorvelUninstaller.exe"
if [ "${RELEASE_REPRODUCIBLE:-0}" = 1 ]; then
  check reproducible scripts/reproducible.sh
fi
echo "release checks took $((SECONDS - start))s"
