#!/usr/bin/env bash
# Sets up, builds the native tessory tool and lists a folder with the stored settings.
# Usage: scripts/list.sh [FOLDER] [OUTPUT]   (defaults: /usr/share/doc, ./listing.htm)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
folder="${1:-/usr/share/doc}"
output="${2:-$PWD/listing.htm}"
"$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build/release" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build/release" -j"$(nproc)" --target tessory >/dev/null
"$root/build/release/bin/tessory" -o "$output" "$folder"
echo "listing of $folder written to $output"
