#!/usr/bin/env bash
# Compares the native tessory tool with find and tree -H on generated trees (wall time and peak
# memory), warm and from a cold page cache, and times the Windows engine under Wine.
# Usage: bench/run.sh [--million] [--files N] [--shape nested|flat|both] [--no-cold] [--no-wine] [--keep]
#   default 100,000 files, 100 to a folder; --million: 1,000,000 files in 10,000 folders.
#   Shapes (bench/make_tree.py): nested, group###/folder#####/file#####.ext; flat, every folder
#   directly under the root, short names (d####/f##.ext). Both by default.
#   BENCH_RUNS rounds (default 3), each running every contender once (interleaved, so that a change
#   in the machine's load weighs on all alike); the tables give medians and the largest peak memory.
#   Cold rounds drop the page cache before every run, which needs root: skipped otherwise.
#   BENCH_COLD names the contenders timed cold (default all of them).
#   BENCH_BASELINE=/path/to/an/older/tessory adds it as a contender (baseline, the document), so
#   that a change is timed against the build before it under the same load.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
files=100000
shape_choice=both
wine_run=1
cold_run=1
keep=0
while [ $# -gt 0 ]; do
  case "$1" in
  --million) files=1000000 ;;
  --files) files="$2"; shift ;;
  --shape) shape_choice="$2"; shift ;;
  --no-cold) cold_run=0 ;;
  --no-wine) wine_run=0 ;;
  --keep) keep=1 ;;
  *) echo "usage: $0 [--million] [--files N] [--shape nested|flat|both] [--no-cold] [--no-wine] [--keep]" >&2; exit 2 ;;
  esac
  shift
done
case "$shape_choice" in
both) shapes=(nested flat) ;;
nested | flat) shapes=("$shape_choice") ;;
*) echo "unknown shape: $shape_choice" >&2; exit 2 ;;
esac
folders=$(( files / 100 ))
[ "$folders" -lt 1 ] && folders=1
: "${BUILD_DIR:=build}"
BUILD_DIR="$(realpath -m "$BUILD_DIR")"
work="${BENCH_DIR:-$BUILD_DIR/bench}"
mkdir -p "$work"

"$root/scripts/setup.sh"
cmake -S "$root" -B "$BUILD_DIR/release" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD_DIR/release" --target tessory >/dev/null
tessory="$BUILD_DIR/release/bin/tessory"

runs="${BENCH_RUNS:-3}"
names=(tessory csv json compare find tree)
[ -n "${BENCH_BASELINE:-}" ] && names+=(baseline)
read -r -a cold_names <<<"${BENCH_COLD:-${names[*]}}"
if [ "$cold_run" = 1 ] && [ "$(id -u)" != 0 ]; then
  echo "cold runs skipped: dropping the page cache needs root (echo 3 > /proc/sys/vm/drop_caches)" >&2
  cold_run=0
fi
echo "machine: $(nproc) cores; $files files in $folders folders per tree; medians of $runs interleaved rounds"

median() { tr ' ' '\n' <<<"$1" | grep . | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "inf" }'; }
drop_caches() { sync; echo 3 >/proc/sys/vm/drop_caches; }

# One table: every contender in $2 (names), $1 = warm or cold, BENCH_RUNS interleaved rounds.
measure() {
  local mode="$1"; shift
  local -a which=("$@")
  declare -A walls_of=() kb_of=() wall_of=() cpus_of=() cpu_of=()
  local round name status log w k c
  for ((round = 0; round < runs; round++)); do
    for name in "${which[@]}"; do
      declare -n cmd="cmd_$name"
      log="$work/$name.time"
      [ "$mode" = cold ] && drop_caches
      status=0
      /usr/bin/time -v "${cmd[@]}" 2>"$log" >/dev/null || status=$?
      # --compare exits 1 when something changed, as here it must.
      if [ "$status" != 0 ] && ! { [ "$name" = compare ] && [ "$status" = 1 ]; }; then
        echo "$name failed with exit code $status" >&2; tail -3 "$log" >&2; exit 1
      fi
      unset -n cmd
      w=$(awk -F': ' '/Elapsed \(wall clock\)/ {n=split($2,p,":"); s=0; for(i=1;i<=n;i++) s=s*60+p[i]; print s}' "$log")
      k=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$log")
      c=$(awk -F': ' '/User time|System time/ {s+=$2} END {print s}' "$log")
      walls_of[$name]+="$w "
      cpus_of[$name]+="$c "
      [ "$k" -gt "${kb_of[$name]:-0}" ] && kb_of[$name]=$k
    done
  done
  for name in "${which[@]}"; do
    wall_of[$name]=$(median "${walls_of[$name]}")
    cpu_of[$name]=$(median "${cpus_of[$name]}")
  done

  echo
  # Others' work on a shared machine weighs on every contender alike, but the figures mean more beside it.
  echo "$shape, $mode ($files files in $folders folders, $(nproc) cores, median of $runs rounds; load average $(cut -d' ' -f1-3 /proc/loadavg))"
  # CPU time (user + system, all threads) says more than wall time on a machine shared with others.
  printf '%-10s %10s %10s %12s  %s\n' tool "wall (s)" "cpu (s)" "peak (MB)" "wall of each round"
  for name in "${which[@]}"; do
    printf '%-10s %10.2f %10.2f %12.1f  %s\n' "$name" "${wall_of[$name]}" "${cpu_of[$name]}" \
      "$(awk -v k="${kb_of[$name]}" 'BEGIN{print k/1024}')" "${walls_of[$name]}"
  done
  local have=" ${which[*]} "
  if [[ $have == *" tessory "* && $have == *" find "* ]]; then
    local target="at most 1.0 warm at 1,000,000 files, 1.2 at 100,000"
    [ "$mode" = cold ] && target="at most 0.7 at 1,000,000 files"
    echo "tessory / find    = $(ratio "${wall_of[tessory]}" "${wall_of[find]}")  (target: $target; cpu: $(ratio "${cpu_of[tessory]}" "${cpu_of[find]}"))"
  fi
  [[ $have == *" baseline "* && $have == *" find "* ]] &&
    echo "baseline / find   = $(ratio "${wall_of[baseline]}" "${wall_of[find]}")  (the build before; cpu: $(ratio "${cpu_of[baseline]}" "${cpu_of[find]}"))"
  [[ $have == *" tessory "* && $have == *" tree "* ]] &&
    echo "tessory / tree -H = $(ratio "${wall_of[tessory]}" "${wall_of[tree]}")  (target: below 1)"
  [[ $have == *" tessory "* ]] &&
    echo "tessory peak memory = $(( kb_of[tessory] / 1024 )) MB  (target: below 32 MB at 1,000,000 files)"
  for name in csv json compare; do
    [[ $have == *" tessory "* && $have == *" $name "* ]] || continue
    local within=1.2
    [ "$name" = compare ] && within="2; 1 % of the files changed"
    echo "$name / html$(printf '%*s' $(( 8 - ${#name} )) '') = $(ratio "${wall_of[$name]}" "${wall_of[tessory]}")  (target: within $within)  peak $(( kb_of[$name] / 1024 )) MB"
  done
  return 0
}

for shape in "${shapes[@]}"; do
  tree_dir="$work/tree-$shape-$files"
  if [ ! -f "$tree_dir/.complete" ]; then
    echo "generating $files files in $folders folders ($shape) under $tree_dir" >&2
    rm -rf "$tree_dir"
    python3 "$root/bench/make_tree.py" "$tree_dir" "$shape" "$files"
  fi
  find "$tree_dir" -printf '%s\n' >/dev/null  # warm the cache for every contender

  # The earlier listing that --compare reads: the tree as it is now; then 1 % of its files change.
  "$tessory" -q --format json -o "$work/old.json" "$tree_dir"
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

  # The contenders, each a command array named cmd_NAME.
  cmd_tessory=("$tessory" -q -o "$work/tessory.htm" "$tree_dir")
  cmd_csv=("$tessory" -q --format csv -o "$work/tessory.csv" "$tree_dir")
  cmd_json=("$tessory" -q --format json -o "$work/tessory.json" "$tree_dir")
  cmd_compare=("$tessory" -q --compare "$work/old.json" -o "$work/compare.htm" "$tree_dir")
  cmd_find=(find "$tree_dir" -printf '%s %T@ %p\n')
  cmd_tree=(tree -H . -o "$work/tree.htm" "$tree_dir")
  cmd_baseline=("${BENCH_BASELINE:-}" -q -o "$work/baseline.htm" "$tree_dir")

  measure warm "${names[@]}"
  cp "$work/tessory.htm" "$work/warm.htm"
  echo "document: $(stat -c %s "$work/tessory.htm") bytes"
  if [ -n "${BENCH_BASELINE:-}" ]; then
    cmp "$work/baseline.htm" "$work/tessory.htm" && echo "document identical to the baseline's"
  fi
  if [ "$cold_run" = 1 ]; then
    measure cold "${cold_names[@]}"
    # Several folders read at once from a cold cache must still give the same document.
    if [[ " ${cold_names[*]} " == *" tessory "* ]]; then
      cmp "$work/warm.htm" "$work/tessory.htm" && echo "cold document identical to the warm one"
    fi
  fi
  [ "$keep" = 1 ] || rm -rf "$tree_dir"
done

if [ "$wine_run" = 1 ]; then
  tree_dir="$work/tree-wine-$files"
  [ -f "$tree_dir/.complete" ] || python3 "$root/bench/make_tree.py" "$tree_dir" nested "$files"
  cmake -S "$root" -B "$BUILD_DIR/win64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$BUILD_DIR/win64" --target engine_bench >/dev/null
  # shellcheck source=../scripts/wine-env.sh
  . "$root/scripts/wine-env.sh"
  win_tree="Z:$(echo "$tree_dir" | tr / '\\')"
  win_out="Z:$(echo "$work/engine.htm" | tr / '\\')"
  start=$(date +%s.%N)
  wine "$BUILD_DIR/win64/bin/engine_bench.exe" "$win_tree" "$win_out"
  echo "Windows engine under Wine (with Wine start): $(python3 -c "import sys; print('%.2f' % (float(sys.argv[2])-float(sys.argv[1])))" "$start" "$(date +%s.%N)") s"
  [ "$keep" = 1 ] || rm -rf "$tree_dir"
fi
