#!/usr/bin/env bash
# Print check: a listing of a few hundred files, written by the native tool with and without
# HTML.PrintLayout, printed to PDF by headless Chromium with background graphics off; the pages
# become pictures under $BUILD_DIR/print and the second page of the print layout goes to
# docs/shots/listing-print.png. Needs chromium, poppler-utils and npm.
# Usage: BUILD_DIR=build scripts/shots/print.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
: "${BUILD_DIR:=build}"
work="$(realpath -m "$BUILD_DIR")/print"
mkdir -p "$work"
cmake -S . -B "$BUILD_DIR/native" >/dev/null
cmake --build "$BUILD_DIR/native" --target tessory -j"$(nproc)"
[ -d "$work/node_modules/puppeteer-core" ] || (cd "$work" && npm init -y >/dev/null && npm install puppeteer-core@22 >/dev/null)

# A tree of 12 folders of 25 files each, with long names so that rows wrap now and then.
tree="$work/Samples"
rm -rf "$tree"
for f in $(seq -w 1 12); do
  folder="$tree/Project $f/Reports and drawings of the year 20$f"
  mkdir -p "$folder"
  for i in $(seq -w 1 25); do
    head -c "$((RANDOM * 3))" /dev/zero >"$folder/Quarterly summary $i for the committee, revised and annotated.pdf"
  done
done

tessory="$(realpath "$BUILD_DIR/native/bin/tessory")"
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME"
for layout in 0 1; do
  # Listed by a relative name, so that the pages show no path of this machine.
  (cd "$work" && "$tessory" -q --set HTML.PrintLayout=$layout \
     -o "$work/listing-$layout.html" Samples)
  NODE_PATH="$work/node_modules" node scripts/shots/print-pdf.js "$work/listing-$layout.html" "$work/listing-$layout.pdf"
  rm -f "$work/page-$layout"-*.png
  pdftoppm -png -r 70 "$work/listing-$layout.pdf" "$work/page-$layout"
  echo "layout $layout: $(ls "$work/page-$layout"-*.png | wc -l) pages in $work"
done
mkdir -p docs/shots
cp "$(ls "$work"/page-1-*.png | sed -n 2p)" docs/shots/listing-print.png
echo docs/shots/listing-print.png
