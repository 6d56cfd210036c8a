#!/usr/bin/env bash
# Compares the native tessory tool with find and tree -H on a generated tree (wall time and peak
# memory), and times the Windows engine on the same tree under Wine.
# Usage: bench/run.sh [--million] [--files N] [--no-wine] [--keep]
#   default 100,000 files in 1,000 folders; --million: 1,000,000 files in 10,000 folders.
#   BENCH_RUNS rounds (default 3), each running every tool once; the table gives the median wall time.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
files=100000
wine_run=1
keep=0
while [ $# -gt 0 ]; do
  case "$1" in
  --million) files=1000000 ;;
  --files) files="$2"; shift ;;
  --no-wine) wine_run=0 ;;
  --keep) keep=1 ;;
  *) echo "usage: $0 [--million] [--files N] [--no-wine] [--keep]" >&2; exit 2 ;;
  esac
  shift
done
folders=$(( files / 100 ))
[ "$folders" -lt 1 ] && folders=1
: "${BUILD_DIR:=build}"
BUILD_DIR="$(realpath -m "$BUILD_DIR")"
work="${BENCH_DIR:-$BUILD_DIR/bench}"
tree_dir="$work/tree-$files"
mkdir -p "$work"

"$root/scripts/setup.sh"
cmake -S "$root" -B "$BUILD_DIR/release" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD_DIR/release" --target tessory >/dev/null

if [ ! -f "$tree_dir/.complete" ]; then
  echo "generating $files files in $folders folders under $tree_dir" >&2
  rm -rf "$tree_dir"
  python3 - "$tree_dir" "$files" "$folders" <<'PY'
import os, sys
root, files, folders = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
exts = ["txt", "jpg", "c", "html", "pdf", "dat", "png", "md"]
per = files // folders
top = max(1, int(folders ** 0.5))
for f in range(folders):
    d = os.path.join(root, "group%03d" % (f % top), "folder%05d" % f)
    os.makedirs(d, exist_ok=True)
    count = per + (1 if f < files % folders else 0)
    for i in range(count):
        name = os.path.join(d, "file%05d.%s" % (i, exts[i % len(exts)]))
        fd = os.open(name, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
        os.write(fd, b"x" * ((i * 37) % 5000))
        os.close(fd)
open(os.path.join(root, ".complete"), "w").close()
PY
fi

find "$tree_dir" -printf '%s\n' >/dev/null  # warm the cache for every contender

# The earlier listing that --compare reads: the tree as it is now; then 1 % of its files change.
"$BUILD_DIR/release/bin/tessory" -q --format json -o "$work/old.json" "$tree_dir"
python3 - "$tree_dir" <<'PY'
import os, sys
n = 0
for folder, _, names in sorted(os.walk(sys.argv[1])):
    for name in sorted(names):
        n += 1
        if n % 100 == 0:
            with open(os.path.join(folder, name), "ab") as f:
                f.write(b"changed")
PY

runs="${BENCH_RUNS:-3}"

# The contenders, each a command array named cmd_NAME. Every round runs each of them once, so
# that a change in the machine's load weighs on all of them alike; the table gives each one's
# median wall time and largest peak memory over the rounds.
names=(tessory csv json compare find tree)
cmd_tessory=("$BUILD_DIR/release/bin/tessory" -q -o "$work/tessory.htm" "$tree_dir")
cmd_csv=("$BUILD_DIR/release/bin/tessory" -q --format csv -o "$work/tessory.csv" "$tree_dir")
cmd_json=("$BUILD_DIR/release/bin/tessory" -q --format json -o "$work/tessory.json" "$tree_dir")
cmd_compare=("$BUILD_DIR/release/bin/tessory" -q --compare "$work/old.json" -o "$work/compare.htm" "$tree_dir")
cmd_find=(find "$tree_dir" -printf '%s %T@ %p\n')
cmd_tree=(tree -H . -o "$work/tree.htm" "$tree_dir")

declare -A walls_of kb_of wall_of
for ((round = 0; round < runs; round++)); do
  for name in "${names[@]}"; do
    declare -n cmd="cmd_$name"
    log="$work/$name.time"
    status=0
    /usr/bin/time -v "${cmd[@]}" 2>"$log" >/dev/null || status=$?
    # --compare exits 1 when something changed, as here it must.
    if [ "$status" != 0 ] && ! { [ "$name" = compare ] && [ "$status" = 1 ]; }; then
      echo "$name failed with exit code $status" >&2; tail -3 "$log" >&2; exit 1
    fi
    unset -n cmd
    w=$(awk -F': ' '/Elapsed \(wall clock\)/ {n=split($2,p,":"); s=0; for(i=1;i<=n;i++) s=s*60+p[i]; print s}' "$log")
    k=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$log")
    walls_of[$name]+="$w "
    [ "$k" -gt "${kb_of[$name]:-0}" ] && kb_of[$name]=$k
  done
done
for name in "${names[@]}"; do
  wall_of[$name]=$(tr ' ' '\n' <<<"${walls_of[$name]}" | grep . | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
done

echo "$files files in $folders folders, median of $runs rounds"
printf '%-10s %10s %12s\n' tool "wall (s)" "peak (MB)"
for name in "${names[@]}"; do
  printf '%-10s %10.2f %12.1f\n' "$name" "${wall_of[$name]}" "$(awk -v k="${kb_of[$name]}" 'BEGIN{print k/1024}')"
done
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "inf" }'; }
echo "tessory / find    = $(ratio "${wall_of[tessory]}" "${wall_of[find]}")  (target: at most 1.0)"
echo "tessory / tree -H = $(ratio "${wall_of[tessory]}" "${wall_of[tree]}")  (target: below 1)"
echo "tessory peak memory = $(( kb_of[tessory] / 1024 )) MB  (target: below 32 MB at 1,000,000 files)"
echo "csv / html        = $(ratio "${wall_of[csv]}" "${wall_of[tessory]}")  (target: within 1.2)"
echo "json / html       = $(ratio "${wall_of[json]}" "${wall_of[tessory]}")  (target: within 1.2)"
echo "compare / html    = $(ratio "${wall_of[compare]}" "${wall_of[tessory]}")  (target: within 2; 1 % of the files changed)"
echo "peak memory of csv, json, compare = $(( kb_of[csv] / 1024 )), $(( kb_of[json] / 1024 )), $(( kb_of[compare] / 1024 )) MB  (target: below 32 MB at 1,000,000 files)"
echo "document: $(stat -c %s "$work/tessory.htm") bytes"

if [ "$wine_run" = 1 ]; then
  cmake -S "$root" -B "$BUILD_DIR/win64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$BUILD_DIR/win64" --target engine_bench >/dev/null
  # shellcheck source=../scripts/wine-env.sh
  . "$root/scripts/wine-env.sh"
  win_tree="Z:$(echo "$tree_dir" | tr / '\\')"
  win_out="Z:$(echo "$work/engine.htm" | tr / '\\')"
  start=$(date +%s.%N)
  wine "$BUILD_DIR/win64/bin/engine_bench.exe" "$win_tree" "$win_out"
  echo "Windows engine under Wine (with Wine start): $(python3 -c "import sys; print('%.2f' % (float(sys.argv[2])-float(sys.argv[1])))" "$start" "$(date +%s.%N)") s"
fi
[ "$keep" = 1 ] || rm -rf "$tree_dir"
