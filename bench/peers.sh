#!/bin/bash
# Side by side with other hidden-line software: our whole `hlr-render draw`
# run (read the mesh, build the scene, hide, write the SVG) against Blender's
# Line Art, run headless, and Open CASCADE's polygonal hidden-line removal
# (HLRBRep_PolyAlgo), on the same meshes in the same view, runs alternating
# so that other load on the machine falls on all three alike.
#
#   bench/peers.sh [BUILD_DIR] [RUNS]
#
# BUILD_DIR defaults to build/bench (cmake --preset bench), RUNS to 3. The
# meshes are those of scenes.sh (Debian's libcgal-demo data set, fetched
# into $HLR_BENCH_CACHE or ~/.cache/hlr-bench; $PEERS_MESHES names others
# of it), each with --edges all and --edges feature. The peers' side is the
# harness folder $HLR_PEERS (default /work/shared/peers), run from here,
# never copied: its make_scene.py turns each mesh into one scene file in
# device coordinates that both peers read, lineart.py drives Line Art inside
# Debian's `blender` (not installed by this script: scripts/install-deps.sh
# blender), and occt_hlr is built by the harness's own build-occt-hlr.sh
# into ~/.cache/hlr-peers. A peer run longer than $PEERS_TIMEOUT seconds
# (default 300) is stopped, reported as at least that long, and not
# repeated on that scene. Line Art runs with -t $LINEART_THREADS (default:
# the number of processors), the tool with its default --jobs (the
# renderer's passes on every processor) and --keep-coincident: neither
# peer leaves out hidden lines that lie on visible ones, so our drawing
# keeps them too, and the lengths compare like for like.
#
# The view is the tool's default, yaw 35, pitch 25. make_scene.py turns its
# yaw the other way round (it rotates the mesh, our camera turns about it),
# so it is given yaw -35: the feature edge sets then agree edge for edge.
# Both frame the mesh in a 1000 x 1000 square, make_scene.py by the bounding
# sphere, the tool by the view's extent: the two differ by one uniform scale
# and a shift, which change no occlusion, so the lines agree up to that
# scale; the second table compares the visible share of the drawn length,
# which does not depend on it.
#
# Figures, medians over RUNS: for us the wall-clock and processor time of the
# whole process (the shell's clock, /usr/bin/time) and the tool's own capture + hidden-line
# passes (--stats); for Line Art its own timer (loading, culling, tile index,
# occlusion, chaining: Line Art's debug "total time") and the wall clock of
# the whole Blender process (start-up, Python, scene building, strokes); for
# Open CASCADE the HLR time it prints (Update and Hide, wall clock). The
# ratios are each peer's figure over our whole run's wall clock.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/bench}
runs=${2:-3}
cache=${HLR_BENCH_CACHE:-$HOME/.cache/hlr-bench}
peers=${HLR_PEERS:-/work/shared/peers}
peer_bin=${OUT:-$HOME/.cache/hlr-peers}
timeout_s=${PEERS_TIMEOUT:-300}
blender=${BLENDER:-blender}
line_art_threads=${LINEART_THREADS:-$(nproc)}
tool=$build/bin/hlr-render
occt=$peer_bin/occt_hlr
meshes=${PEERS_MESHES:-fandisk armadillo bunny00 refined_elephant}
yaw=35
pitch=25

[ -x "$tool" ] || { echo "peers.sh: no $tool; build with: cmake --preset bench && cmake --build build/bench" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "peers.sh: /usr/bin/time is missing (apt-get install time)" >&2; exit 2; }
[ -f "$peers/make_scene.py" ] || { echo "peers.sh: no peer harness in $peers (set HLR_PEERS)" >&2; exit 2; }
command -v "$blender" >/dev/null || {
  echo "peers.sh: no '$blender' for Line Art; install Debian's package (3.4; about 150 packages, 700 MB, with what it pulls in):" >&2
  echo "  scripts/install-deps.sh blender   (or apt-get install blender; BLENDER=PATH for another one)" >&2
  exit 2
}
/usr/bin/python3 -c 'import numpy' 2>/dev/null || {
  echo "peers.sh: make_scene.py needs numpy for /usr/bin/python3: apt-get install python3-numpy" >&2
  exit 2
}

source "$here/bench/bench_lib.sh"

fetch_meshes
[ -x "$occt" ] || OUT=$peer_bin sh "$peers/build-occt-hlr.sh" >&2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Runs a command under /usr/bin/time and the timeout, its output into
# $scratch/NAME.out and .err, "wall user system" into $scratch/NAME.time;
# returns the command's status (124 when stopped). The wall clock is the
# shell's, to the millisecond (/usr/bin/time gives hundredths): it includes
# starting time and timeout, a millisecond or two.
timed() {
  local name=$1
  shift
  local status=0 start=$EPOCHREALTIME
  /usr/bin/time -f "%U %S" -o "$scratch/$name.cpu" timeout --kill-after=10 "$timeout_s" "$@" \
    > "$scratch/$name.out" 2> "$scratch/$name.err" || status=$?
  local end=$EPOCHREALTIME
  awk -v s="$start" -v e="$end" '{printf "%.3f %s %s\n", e - s, $1, $2}' "$scratch/$name.cpu" > "$scratch/$name.time"
  return $status
}

# The visible and hidden length of our SVG's polylines, in its device units.
svg_lengths() {
  awk '/<g id="/ {match($0, /id="[^"]*"/); layer = substr($0, RSTART + 4, RLENGTH - 5)}
       /<polyline/ {
         match($0, /points="[^"]*"/)
         n = split(substr($0, RSTART + 8, RLENGTH - 9), p, " ")
         for (i = 1; i <= n; i++) {
           split(p[i], c, ",")
           if (i > 1) length_of[layer] += sqrt((c[1] - x) ^ 2 + (c[2] - y) ^ 2)
           x = c[1]; y = c[2]
         }
       }
       END {printf "%.3f %.3f\n", length_of["visible"], length_of["hidden"]}' "$1"
}

share() { awk -v v="$1" -v h="$2" 'BEGIN {if (v + h > 0) printf "%.4f", v / (v + h); else print "-"}'; }

# A median over a file of figures, ">T" when a run was stopped.
median_of() {
  if grep -q '>' "$1"; then echo ">$timeout_s"; elif [ -s "$1" ]; then median < "$1"; else echo "failed"; fi
}

ratio() {
  case $1 in
    ">"*) awk -v p="${1#>}" -v w="$2" 'BEGIN {printf ">%.1f", p / w}' ;;
    failed) echo "-" ;;
    *) awk -v p="$1" -v w="$2" 'BEGIN {if (w > 0) printf "%.1f", p / w; else print "-"}' ;;
  esac
}

machine_line
commit_line "$here"
echo "ours:    $tool draw MESH.off -o OUT.svg --edges E --view $yaw,$pitch --keep-coincident --stats --quiet   (whole process; default --jobs: the passes on every processor)"
echo "scene:   /usr/bin/python3 $peers/make_scene.py MESH.off SCENE.obj --edges E --yaw=-$yaw --pitch=$pitch   (not timed)"
echo "peer:    $blender -b --factory-startup -t $line_art_threads --python $peers/lineart.py -- SCENE.obj OUT.txt --edges E   ($("$blender" --version 2>/dev/null | head -1))"
echo "peer:    $occt --mode poly --shape mesh+lines SCENE.obj OUT --no-svg   (single-threaded)"
echo "runs:    $runs, alternating ours / Line Art / Open CASCADE; medians; peers stopped after $timeout_s s"
echo

table=$scratch/table
lines=$scratch/lines
for mesh in $meshes; do
  file=$cache/data/meshes/$mesh.off
  for edges in all feature; do
    scene=$scratch/$mesh-$edges.obj
    scene_edges=$(/usr/bin/python3 "$peers/make_scene.py" "$file" "$scene" --edges "$edges" \
      --yaw=-$yaw --pitch=$pitch | sed -n 's/.* \([0-9]*\) edges$/\1/p')
    for f in wall cpu work line_art blender occt; do : > "$scratch/$f"; done
    triangles="?" drawn="?" ours_status=ok
    ours_share=- line_art_share=- occt_share=-
    for _ in $(seq "$runs"); do
      if timed ours "$tool" draw "$file" -o "$scratch/out.svg" --edges "$edges" --view "$yaw,$pitch" --keep-coincident \
           --stats --quiet; then
        awk '{print $1}' "$scratch/ours.time" >> "$scratch/wall"
        awk '{print $2 + $3}' "$scratch/ours.time" >> "$scratch/cpu"
        sed -n 's/.*capture \([0-9.]*\), hidden-line passes \([0-9.]*\).*/\1 \2/p' "$scratch/ours.out" |
          awk '{print ($1 + $2) / 1000}' >> "$scratch/work"
        triangles=$(sed -n 's/^faces: *\([0-9]*\) triangles.*/\1/p' "$scratch/ours.out")
        drawn=$(sed -n 's/^edges: *\([0-9]*\) in.*/\1/p' "$scratch/ours.out")
        read -r visible hidden < <(svg_lengths "$scratch/out.svg")
        ours_share=$(share "$visible" "$hidden")
      else
        ours_status="ours failed: $(head -1 "$scratch/ours.err")"
      fi

      if ! grep -q '>' "$scratch/line_art"; then
        status=0
        timed line_art "$blender" -b --factory-startup -t "$line_art_threads" \
          --python "$peers/lineart.py" -- "$scene" "$scratch/line_art.txt" --edges "$edges" || status=$?
        if [ "$status" = 124 ]; then
          echo ">" >> "$scratch/line_art"
          echo ">" >> "$scratch/blender"
        elif [ "$status" = 0 ]; then
          sed -n 's/.*Line Art total (its own timer) *\([0-9.]*\) s.*/\1/p' "$scratch/line_art.err" >> "$scratch/line_art"
          awk '{print $1}' "$scratch/line_art.time" >> "$scratch/blender"
          line_art_share=$(share \
            "$(sed -n 's/^lineart: visible .* length \([0-9.]*\)$/\1/p' "$scratch/line_art.err")" \
            "$(sed -n 's/^lineart: hidden .* length \([0-9.]*\)$/\1/p' "$scratch/line_art.err")")
        else
          echo "peers.sh: Line Art failed on $mesh --edges $edges (status $status): $(tail -1 "$scratch/line_art.err")" >&2
        fi
      fi

      if ! grep -q '>' "$scratch/occt"; then
        status=0
        timed occt "$occt" --mode poly --shape mesh+lines "$scene" "$scratch/occt" --no-svg || status=$?
        if [ "$status" = 124 ]; then
          echo ">" >> "$scratch/occt"
        elif [ "$status" = 0 ]; then
          sed -n 's/^time hlr: \([0-9.]*\) s$/\1/p' "$scratch/occt.err" >> "$scratch/occt"
          occt_share=$(share \
            "$(sed -n 's/^visible length: \([0-9.]*\)$/\1/p' "$scratch/occt.err")" \
            "$(sed -n 's/^hidden length: \([0-9.]*\)$/\1/p' "$scratch/occt.err")")
        else
          echo "peers.sh: Open CASCADE failed on $mesh --edges $edges (status $status): $(tail -1 "$scratch/occt.err")" >&2
        fi
      fi
    done

    wall=$(median_of "$scratch/wall")
    line_art=$(median_of "$scratch/line_art")
    blender_wall=$(median_of "$scratch/blender")
    occt_hlr=$(median_of "$scratch/occt")
    if [ "$ours_status" = ok ]; then
      echo "| $mesh --edges $edges | $triangles | $wall | $(median < "$scratch/cpu") | $(median < "$scratch/work") | $line_art | $blender_wall | $occt_hlr | $(ratio "$line_art" "$wall") | $(ratio "$blender_wall" "$wall") | $(ratio "$occt_hlr" "$wall") |" >> "$table"
    else
      echo "| $mesh --edges $edges | $triangles | $ours_status | | | $line_art | $blender_wall | $occt_hlr | | | |" >> "$table"
    fi
    echo "| $mesh --edges $edges | $drawn | $scene_edges | $ours_share | $line_art_share | $occt_share |" >> "$lines"
  done
done

echo "| scene | triangles | ours wall (s) | ours processor (s) | ours capture + passes (s) | Line Art own timer (s) | Blender process (s) | Open CASCADE poly HLR (s) | Line Art / ours | Blender / ours | Open CASCADE / ours |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
cat "$table"
echo
echo "| scene | edges drawn, ours | edges in the scene file | visible share of the drawn length, ours | Line Art | Open CASCADE |"
echo "|---|---:|---:|---:|---:|---:|"
cat "$lines"
echo
echo "load average $(cut -d' ' -f1-3 /proc/loadavg) at the end"
