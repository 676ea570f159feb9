#!/bin/bash
# CAD parts: our whole `hlr-render draw` run (read, tessellate, draw, write)
# against Open CASCADE's exact hidden-line removal alone (HLRBRep_Algo, as CAD
# drawing tools call it; its own timer around Update, Hide and the result
# shapes) on the same part in the same view, runs alternating. The parts are
# the sample data of Debian's occt-misc package, fetched into a cache on
# first use (never into the repository): each STEP, IGES and BREP part, and
# all the occ/*.brep parts together as one assembly.
#
#   bench/cad.sh [BUILD_DIR] [RUNS]
#
# BUILD_DIR defaults to build/bench (cmake --preset bench), RUNS to 1. The
# parts are cached in $HLR_DATA_CACHE (default ~/.cache/hlr-data). Open
# CASCADE's side is the peer harness in $HLR_PEERS (default
# /work/shared/peers), built by its own script into ~/.cache/hlr-peers;
# runs (ours or its) longer than $CAD_TIMEOUT seconds (default 600) are
# stopped and reported as at least that long. Parts without faces (only
# edges) are not drawn: the tool refuses them, and they have nothing to
# hide. The parts named in $CAD_EXCLUDE (default terrain.brep: one B-spline
# face on which Open CASCADE's mesher alone runs for minutes, and its exact
# removal for longer still) are drawn on their own but left out of the
# assembly. CAD_SINGLES=0 times the assembly only.
#
# Each line gives medians over RUNS: our wall-clock and processor time of
# the whole process (/usr/bin/time), Open CASCADE's HLR time as it prints
# it, the ratio of the two (how many times faster our whole run is), and
# the time Open CASCADE's plain reader (STEPControl_Reader,
# IGESControl_Reader or BRepTools::Read, no names or colours) takes to read
# and transfer the part, as the peer prints it: a floor for any whole run
# that reads the part with Open CASCADE, so a ratio target is out of reach
# of such a run when the HLR time divided by the target is below it.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/bench}
runs=${2:-1}
cache=${HLR_DATA_CACHE:-$HOME/.cache/hlr-data}
peers=${HLR_PEERS:-/work/shared/peers}
timeout_s=${CAD_TIMEOUT:-600}
exclude=${CAD_EXCLUDE-terrain.brep}
singles=${CAD_SINGLES:-1}
tool=$build/bin/hlr-render
view_yaw=45
view_pitch=35.264389682754654  # the iso view: equal angles to the three axes

[ -x "$tool" ] || { echo "cad.sh: no $tool; build with: cmake --preset bench && cmake --build build/bench" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "cad.sh: /usr/bin/time is missing (apt-get install time)" >&2; exit 2; }

fetch_parts() {
  local data=$cache/data
  if [ -f "$data/step/screw.step" ]; then return; fi
  mkdir -p "$cache"
  echo "fetching Debian's occt-misc parts into $cache" >&2
  (cd "$cache" && rm -rf pkg occt-misc_*.deb && apt-get download occt-misc >/dev/null &&
     dpkg-deb -x occt-misc_*.deb pkg && rm -rf data && mv pkg/usr/share/opencascade/data data &&
     rm -rf pkg occt-misc_*.deb)
}

peer=${OUT:-$HOME/.cache/hlr-peers}/cad_hlr
build_helpers() {
  [ -x "$peer" ] || sh "$peers/build-cad-hlr.sh" >&2
  assembler=$cache/cad_assembly
  if [ ! -x "$assembler" ] || [ "$here/bench/cad_assembly.cpp" -nt "$assembler" ]; then
    g++ -O2 -std=c++17 -w -isystem /usr/include/opencascade -o "$assembler" \
      "$here/bench/cad_assembly.cpp" -lTKBRep -lTKMath -lTKernel
  fi
}

source "$here/bench/bench_lib.sh"

fetch_parts
build_helpers
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
data=$cache/data

# The parts that have faces; those without are listed and left out.
parts=()
no_faces=()
for file in "$data"/step/*.step "$data"/iges/*.iges "$data"/occ/*.brep; do
  # The tool says so within a second of reading; a part it is still
  # drawing after a few has faces.
  if timeout 20 "$tool" draw "$file" -o "$scratch/probe.svg" --quiet 2> "$scratch/probe.err" ||
     ! grep -q "holds no faces" "$scratch/probe.err"; then
    parts+=("$file")
  else
    no_faces+=("$(basename "$file")")
  fi
done
assembly_parts=()
for file in "${parts[@]}"; do
  case " $exclude " in *" $(basename "$file") "*) continue ;; esac
  case $file in "$data"/occ/*) assembly_parts+=("$file") ;; esac
done
"$assembler" "$scratch/assembly.brep" "${assembly_parts[@]}"

echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(nproc) processors; load average $(cut -d' ' -f1-3 /proc/loadavg) at the start"
echo "commit:  $(git -C "$here" rev-parse --short HEAD 2>/dev/null || echo unknown)"
echo "ours:    $tool draw PART... -o OUT.svg --view $view_yaw,$view_pitch --quiet   (whole process)"
echo "peer:    $peer PART --yaw $view_yaw --pitch $view_pitch   (its HLR time alone; exact)"
echo "runs:    $runs, alternating; medians"
[ ${#no_faces[@]} -eq 0 ] || echo "left out (no faces): ${no_faces[*]}"
[ -z "$exclude" ] || echo "left out of the assembly: $exclude"
echo
echo "| part | triangles | ours wall (s) | ours processor (s) | Open CASCADE HLR (s) | ratio | Open CASCADE read (s) |"
echo "|---|---:|---:|---:|---:|---:|---:|"

bench_one() {  # label, our model files..., with the peer's single file in $peer_file
  local label=$1
  shift
  : > "$scratch/wall"; : > "$scratch/cpu"; : > "$scratch/hlr"; : > "$scratch/read"
  local triangles=? status=ok
  for _ in $(seq "$runs"); do
    if timeout "$timeout_s" /usr/bin/time -f "%e %U %S" -o "$scratch/time" "$tool" draw "$@" \
         -o "$scratch/out.svg" --view "$view_yaw,$view_pitch" --quiet --stats \
         > "$scratch/stats" 2> "$scratch/err"; then
      awk '{print $1}' "$scratch/time" >> "$scratch/wall"
      awk '{print $2 + $3}' "$scratch/time" >> "$scratch/cpu"
      triangles=$(sed -n 's/^faces: *\([0-9]*\) triangles.*/\1/p' "$scratch/stats")
    elif [ -s "$scratch/err" ]; then
      status="ours failed: $(head -1 "$scratch/err")"
    else
      status="ours stopped after $timeout_s s"
    fi
    if timeout "$timeout_s" "$peer" "$peer_file" --yaw "$view_yaw" --pitch "$view_pitch" \
         > "$scratch/peer" 2>&1; then
      sed -n 's/^mode exact: hlr \([0-9.]*\) s.*/\1/p' "$scratch/peer" >> "$scratch/hlr"
    else
      echo ">$timeout_s" >> "$scratch/hlr"
    fi
    # Printed before the removal starts, so there even when it was stopped.
    sed -n 's/^part .*, read \([0-9.]*\) s,.*/\1/p' "$scratch/peer" >> "$scratch/read"
  done
  local wall cpu hlr ratio peer_read
  wall=$(median < "$scratch/wall")
  cpu=$(median < "$scratch/cpu")
  hlr=$(tr -d '>' < "$scratch/hlr" | median)
  grep -q '>' "$scratch/hlr" && hlr=">$hlr"
  ratio=$(awk -v h="${hlr#>}" -v w="$wall" 'BEGIN {if (w > 0 && h != "") printf "%.1f", h / w; else print "-"}')
  [ "${hlr:0:1}" = ">" ] && ratio=">$ratio"
  [ "$status" = ok ] || ratio="$status"
  peer_read=$(median < "$scratch/read")
  echo "| $label | $triangles | $wall | $cpu | $hlr | $ratio | ${peer_read:--} |"
}

if [ "$singles" != 0 ]; then
  for file in "${parts[@]}"; do
    peer_file=$file
    bench_one "${file#$data/}" "$file"
  done
fi
peer_file=$scratch/assembly.brep
bench_one "all ${#assembly_parts[@]} occ/*.brep parts together" "${assembly_parts[@]}"
echo
echo "load average $(cut -d' ' -f1-3 /proc/loadavg) at the end"
