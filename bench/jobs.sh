#!/bin/bash
# --jobs N, the threads of the renderer's passes: the same output for every
# N, and what N buys.
#
#   bench/jobs.sh [BUILD_DIR] [RUNS] [TERRAIN_TRIANGLES]
#
# BUILD_DIR defaults to build/bench (cmake --preset bench), RUNS to 5,
# TERRAIN_TRIANGLES to 1000000. The scenes are those of scenes.sh (the
# libcgal-demo meshes, fetched into $HLR_BENCH_CACHE or ~/.cache/hlr-bench)
# with --edges all and feature, intersections off and on, and a generated
# terrain with --edges all.
#
# 1. Sameness: every scene is drawn with --jobs 1, 2 and 4 and --trace; the
#    MD5 of the SVG and of the trace (every call the renderer sent
#    downstream, in the order it reached the drawing) must be the same for
#    every N, and the same as a plain --jobs 1 run without a trace (the
#    renderer sending straight to the drawing). A difference ends the script
#    with status 1.
# 2. Timing: RUNS alternating pairs of --jobs 1 and --jobs 2 runs (so that
#    other load on the machine falls on both alike); medians of the tool's
#    hidden-line passes (update and end_picture, --stats), its total, the wall
#    clock and the peak resident memory (/usr/bin/time -v). The load average
#    is printed before and after: on a busy machine the --jobs 2 figures say
#    little.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/bench}
runs=${2:-5}
terrain_triangles=${3:-1000000}
cache=${HLR_BENCH_CACHE:-$HOME/.cache/hlr-bench}
tool=$build/bin/hlr-render
make_mesh=$build/bin/hlr_make_mesh
meshes="fandisk armadillo bunny00 refined_elephant"

for program in "$tool" "$make_mesh"; do
  [ -x "$program" ] || { echo "jobs.sh: no $program; build with: cmake --preset bench && cmake --build build/bench" >&2; exit 2; }
done
[ -x /usr/bin/time ] || { echo "jobs.sh: /usr/bin/time is missing (apt-get install time)" >&2; exit 2; }

source "$here/bench/bench_lib.sh"

fetch_meshes
mkdir -p "$build/bench-cache"
terrain=$build/bench-cache/terrain_$terrain_triangles.off
[ -f "$terrain" ] || "$make_mesh" terrain "$terrain_triangles" "$terrain" >/dev/null
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# name|file|flags
scenes=()
for mesh in $meshes; do
  for edges in all feature; do
    scenes+=("$mesh --edges $edges|$cache/data/meshes/$mesh.off|--edges $edges")
    scenes+=("$mesh --edges $edges --intersections|$cache/data/meshes/$mesh.off|--edges $edges --intersections")
  done
done
scenes+=("terrain $terrain_triangles --edges all|$terrain|--edges all")

machine_line
commit_line "$here"
echo "command: $tool draw FILE -o OUT.svg FLAGS --jobs N [--trace OUT.trace] --stats --quiet"
echo

echo "| scene | SVG (MD5) | trace (MD5), N = 1, 2, 4 | same |"
echo "|---|---|---|---|"
status=0
for scene in "${scenes[@]}"; do
  IFS='|' read -r name file flags <<< "$scene"
  # shellcheck disable=SC2086
  "$tool" draw "$file" -o "$scratch/plain.svg" $flags --jobs 1 --quiet
  svg=$(md5sum < "$scratch/plain.svg" | cut -c1-32)
  same=yes
  traces=""
  for n in 1 2 4; do
    # shellcheck disable=SC2086
    "$tool" draw "$file" -o "$scratch/out.svg" $flags --jobs "$n" --trace "$scratch/out.trace" --quiet
    [ "$(md5sum < "$scratch/out.svg" | cut -c1-32)" = "$svg" ] || same=no
    trace=$(md5sum < "$scratch/out.trace" | cut -c1-32)
    rm -f "$scratch/out.trace"
    [ -z "$traces" ] && first_trace=$trace
    [ "$trace" = "$first_trace" ] || same=no
    traces="$traces${traces:+ }${trace:0:8}"
  done
  [ "$same" = yes ] || status=1
  echo "| $name | ${svg:0:8} | $traces | $same |"
done
echo

echo "| scene | N | hidden-line passes (ms) | tool total (ms) | wall (s) | peak RSS (MB) | speed-up of the passes |"
echo "|---|---:|---:|---:|---:|---:|---:|"
for scene in "${scenes[@]}"; do
  IFS='|' read -r name file flags <<< "$scene"
  for n in 1 2; do : > "$scratch/passes$n"; : > "$scratch/total$n"; : > "$scratch/wall$n"; : > "$scratch/rss$n"; done
  for _ in $(seq "$runs"); do
    for n in 1 2; do
      # shellcheck disable=SC2086
      /usr/bin/time -v "$tool" draw "$file" -o "$scratch/out.svg" $flags --jobs "$n" --stats --quiet \
        > "$scratch/stats" 2> "$scratch/time"
      # The hidden-line passes, which --jobs shares out.
      sed -n 's/.*hidden-line passes \([0-9.]*\).*/\1/p' "$scratch/stats" >> "$scratch/passes$n"
      sed -n 's/.*total \([0-9.]*\).*/\1/p' "$scratch/stats" >> "$scratch/total$n"
      awk -F': ' '/Elapsed/ {n=split($2,t,":"); s=0; for(i=1;i<=n;i++) s=s*60+t[i]; print s}' "$scratch/time" >> "$scratch/wall$n"
      awk -F': ' '/Maximum resident/ {printf "%.1f\n", $2/1024}' "$scratch/time" >> "$scratch/rss$n"
    done
  done
  one=$(median < "$scratch/passes1")
  for n in 1 2; do
    passes=$(median < "$scratch/passes$n")
    speedup=$(awk -v a="$one" -v b="$passes" 'BEGIN {printf "%.2f", a / b}')
    echo "| $name | $n | $passes | $(median < "$scratch/total$n") | $(median < "$scratch/wall$n") | $(median < "$scratch/rss$n") | $speedup |"
  done
done
echo
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
exit $status
