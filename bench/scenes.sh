#!/bin/bash
# Whole-tool runs of `hlr-render draw --stats` on real meshes that nobody here
# made: the mesh data set of Debian's libcgal-demo package, fetched into a
# cache folder on first use (never into the repository).
#
#   bench/scenes.sh [BUILD_DIR] [RUNS]
#
# BUILD_DIR defaults to build/bench (cmake --preset bench), RUNS to 5. The
# cache is $HLR_BENCH_CACHE, or ~/.cache/hlr-bench. Every mesh is drawn with
# --edges all and --edges feature, intersections off and on; each line of
# the table gives the medians over RUNS runs of the tool's own phase times,
# of the wall-clock and processor time of the whole process, and the peak
# resident memory, all from /usr/bin/time -v and --stats.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/bench}
runs=${2:-5}
cache=${HLR_BENCH_CACHE:-$HOME/.cache/hlr-bench}
tool=$build/bin/hlr-render
meshes="fandisk armadillo bunny00 refined_elephant"

[ -x "$tool" ] || { echo "scenes.sh: no $tool; build with: cmake --preset bench && cmake --build build/bench" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "scenes.sh: /usr/bin/time is missing (apt-get install time)" >&2; exit 2; }

source "$here/bench/bench_lib.sh"

fetch_meshes
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

machine_line
commit_line "$here"
echo "command: $tool draw MESH -o OUT.svg --edges E [--intersections] --stats --quiet   (median of $runs runs)"
echo
echo "| mesh | triangles | edges drawn | options | hidden-line passes (ms) | tool total (ms) | wall (s) | processor (s) | peak RSS (MB) |"
echo "|---|---:|---:|---|---:|---:|---:|---:|---:|"
for mesh in $meshes; do
  file=$cache/data/meshes/$mesh.off
  for edges in all feature; do
    for intersections in off on; do
      flags=(--edges "$edges")
      [ "$intersections" = on ] && flags+=(--intersections)
      : > "$scratch/passes"; : > "$scratch/total"; : > "$scratch/wall"; : > "$scratch/cpu"; : > "$scratch/rss"
      for _ in $(seq "$runs"); do
        /usr/bin/time -v "$tool" draw "$file" -o "$scratch/out.svg" "${flags[@]}" --stats --quiet \
          > "$scratch/stats" 2> "$scratch/time"
        sed -n 's/.*hidden-line passes \([0-9.]*\).*/\1/p' "$scratch/stats" >> "$scratch/passes"
        sed -n 's/.*total \([0-9.]*\).*/\1/p' "$scratch/stats" >> "$scratch/total"
        awk -F': ' '/Elapsed/ {n=split($2,t,":"); s=0; for(i=1;i<=n;i++) s=s*60+t[i]; print s}' "$scratch/time" >> "$scratch/wall"
        awk -F': ' '/User time/ {u=$2} /System time/ {s=$2} END {print u+s}' "$scratch/time" >> "$scratch/cpu"
        awk -F': ' '/Maximum resident/ {printf "%.1f\n", $2/1024}' "$scratch/time" >> "$scratch/rss"
      done
      triangles=$(sed -n 's/^faces: *\([0-9]*\) triangles.*/\1/p' "$scratch/stats")
      drawn=$(sed -n 's/^edges: *\([0-9]*\) in.*/\1/p' "$scratch/stats")
      echo "| $mesh | $triangles | $drawn | --edges $edges, intersections $intersections | $(median < "$scratch/passes") | $(median < "$scratch/total") | $(median < "$scratch/wall") | $(median < "$scratch/cpu") | $(median < "$scratch/rss") |"
    done
  done
done
