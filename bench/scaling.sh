#!/bin/bash
# The scaling series: a generated terrain (bench/generated_mesh.h) at about
# 10k, 30k, 100k, 300k and 1M triangles, all edges drawn by the whole tool,
# and the hidden-line pass alone timed inside hlr_scene_bench.
#
#   bench/scaling.sh [BUILD_DIR] [RUNS] [SHAPE] [THREADS]
#
# BUILD_DIR defaults to build/bench, RUNS to 5, SHAPE to terrain (or
# sphere), THREADS to the tool's default (every processor); given, it is
# the tool's --jobs and the pass's --threads. HLR_SCALING_SIZES replaces
# the list of sizes (e.g. "10000 100000 1000000 10000000"). The meshes are
# written once into BUILD_DIR/bench-cache. Prints a Markdown table (medians
# of RUNS runs; the exponent between neighbours is log(t2/t1) / log(n2/n1))
# and writes the figures to BUILD_DIR/scaling-SHAPE[-jTHREADS].tsv for
# bench/plot_scaling.py.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/bench}
runs=${2:-5}
shape=${3:-terrain}
threads=${4:-}
sizes=${HLR_SCALING_SIZES:-"10000 30000 100000 300000 1000000"}
jobs=() pass_threads=() suffix=""
if [ -n "$threads" ]; then
  jobs=(--jobs "$threads") pass_threads=(--threads "$threads") suffix="-j$threads"
fi
tool=$build/bin/hlr-render
for program in "$tool" "$build/bin/hlr_make_mesh" "$build/bin/hlr_scene_bench"; do
  [ -x "$program" ] || { echo "scaling.sh: no $program; build with: cmake --preset bench && cmake --build build/bench" >&2; exit 2; }
done

source "$here/bench/bench_lib.sh"

mkdir -p "$build/bench-cache"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
tsv=$build/scaling-$shape$suffix.tsv
echo -e "triangles\twall_s\tprocessor_s\tpeak_rss_mb\tpass_processor_ms" > "$tsv"

machine_line
commit_line "$here"
echo "command: $tool draw ${shape}_N.off -o OUT.svg --edges all --stats --quiet ${jobs[*]}   (median of $runs runs)"
echo "pass:    $build/bin/hlr_scene_bench --generate $shape:N --edges all --runs $runs ${pass_threads[*]} (processor time of hide_edges)"
echo
echo "| triangles | edges | wall (s) | exponent | processor (s) | exponent | peak RSS (MB) | hidden-line pass, processor (ms) | exponent |"
echo "|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
# The runs go round the sizes, one of each in turn, so that a drift of
# the machine's speed falls on every size alike.
for n in $sizes; do
  mesh=$build/bench-cache/${shape}_$n.off
  [ -f "$mesh" ] || "$build/bin/hlr_make_mesh" "$shape" "$n" "$mesh" > /dev/null
  : > "$scratch/wall-$n"; : > "$scratch/cpu-$n"; : > "$scratch/rss-$n"
done
for _ in $(seq "$runs"); do
  for n in $sizes; do
    /usr/bin/time -v "$tool" draw "$build/bench-cache/${shape}_$n.off" -o "$scratch/out.svg" \
      --edges all --stats --quiet "${jobs[@]}" > "$scratch/stats-$n" 2> "$scratch/time"
    awk -F': ' '/Elapsed/ {n=split($2,t,":"); s=0; for(i=1;i<=n;i++) s=s*60+t[i]; print s}' "$scratch/time" >> "$scratch/wall-$n"
    awk -F': ' '/User time/ {u=$2} /System time/ {s=$2} END {print u+s}' "$scratch/time" >> "$scratch/cpu-$n"
    awk -F': ' '/Maximum resident/ {printf "%.1f\n", $2/1024}' "$scratch/time" >> "$scratch/rss-$n"
  done
done
# The exponent of growth from time A at N0 triangles to time B at N1.
exponent() {
  awk -v a="$1" -v b="$2" -v m="$3" -v n="$4" 'BEGIN {printf "%.2f", log(b/a)/log(n/m)}'
}
previous=""
for n in $sizes; do
  triangles=$(sed -n 's/^faces: *\([0-9]*\) triangles.*/\1/p' "$scratch/stats-$n")
  edges=$(sed -n 's/^edges: *\([0-9]*\) in.*/\1/p' "$scratch/stats-$n")
  wall=$(median < "$scratch/wall-$n"); cpu=$(median < "$scratch/cpu-$n"); rss=$(median < "$scratch/rss-$n")
  pass=$("$build/bin/hlr_scene_bench" --generate "$shape:$n" --edges all --runs "$runs" "${pass_threads[@]}" |
         sed -n 's/.*processor time median \([0-9.]*\).*/\1/p')
  exponent_wall="" exponent_cpu="" exponent_pass=""
  if [ -n "$previous" ]; then
    read -r n0 wall0 cpu0 pass0 <<< "$previous"
    exponent_wall=$(exponent "$wall0" "$wall" "$n0" "$triangles")
    exponent_cpu=$(exponent "$cpu0" "$cpu" "$n0" "$triangles")
    exponent_pass=$(exponent "$pass0" "$pass" "$n0" "$triangles")
  fi
  echo "| $triangles | $edges | $wall | $exponent_wall | $cpu | $exponent_cpu | $rss | $pass | $exponent_pass |"
  echo -e "$triangles\t$wall\t$cpu\t$rss\t$pass" >> "$tsv"
  previous="$triangles $wall $cpu $pass"
done
echo
echo "figures: $tsv"
