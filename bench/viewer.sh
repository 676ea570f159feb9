#!/bin/bash
# How fast `hlr-render view` answers a view change: the drawing of a new
# view of bunny00 (Debian's libcgal-demo meshes, fetched into a cache on
# first use), asked one at a time as a drag asks them, over loopback.
#
#   bench/viewer.sh [BUILD_DIR] [VIEWS]
#
# BUILD_DIR defaults to build/bench (cmake --preset bench), VIEWS to 30 (a
# yaw step of 7 degrees each, after one drawing not counted). The viewer
# reads the mesh once; each request re-runs the camera, the scene, the
# capture and the hidden-line passes. The table gives medians over the
# views of the whole answer as curl sees it and of the server's phases
# (its Server-Timing header: the times --stats prints), and the server's
# processor time per answer.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/bench}
views=${2:-30}
cache=${HLR_BENCH_CACHE:-$HOME/.cache/hlr-bench}
tool=$build/bin/hlr-render

[ -x "$tool" ] || { echo "viewer.sh: no $tool; build with: cmake --preset bench && cmake --build build/bench" >&2; exit 2; }
command -v curl > /dev/null || { echo "viewer.sh: curl is missing (apt-get install curl)" >&2; exit 2; }

source "$here/bench/bench_lib.sh"

fetch_meshes
scratch=$(mktemp -d)
"$tool" view "$cache/data/meshes/bunny00.off" --port 0 --no-browser > "$scratch/address" 2> "$scratch/errors" &
server=$!
trap 'kill $server 2> /dev/null; wait $server 2> /dev/null; rm -rf "$scratch"' EXIT
for _ in $(seq 600); do
  [ -s "$scratch/address" ] && break
  kill -0 $server 2> /dev/null || { cat "$scratch/errors" >&2; exit 1; }
  sleep 0.1
done
address=$(head -1 "$scratch/address")
[ -n "$address" ] || { echo "viewer.sh: the viewer printed no address" >&2; exit 1; }
base=${address%%/\?token=*}
token=${address##*token=}

# Processor time (user and system) of the server so far, in milliseconds.
processor_ms() { awk -v hz="$(getconf CLK_TCK)" '{print ($14 + $15) * 1000 / hz}' "/proc/$server/stat"; }

machine_line
commit_line "$here"
echo "command: $tool view bunny00.off; GET /drawing.svg?view=YAW,20&edges=E, one at a time (median of $views views)"
echo
echo "| edges | answer (ms) | scene (ms) | capture (ms) | passes (ms) | writing (ms) | server total (ms) | server processor per answer (ms) |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|"
for edges in feature all; do
  for column in answer scene capture passes write total; do : > "$scratch/$column"; done
  curl -sf -o /dev/null "$base/drawing.svg?view=0,20&edges=$edges&token=$token"
  start=$(processor_ms)
  for v in $(seq "$views"); do
    curl -sf -o /dev/null -D "$scratch/headers" -w '%{time_total}\n' \
      "$base/drawing.svg?view=$((v * 7)),20&edges=$edges&token=$token" |
      awk '{print $1 * 1000}' >> "$scratch/answer"
    for phase in scene capture passes write total; do
      sed -n "s/.*[ :]$phase;dur=\([0-9.]*\).*/\1/p" "$scratch/headers" >> "$scratch/$phase"
    done
  done
  processor=$(awk -v a="$start" -v b="$(processor_ms)" -v n="$views" 'BEGIN {printf "%.1f", (b - a) / n}')
  echo "| $edges | $(median < "$scratch/answer") | $(median < "$scratch/scene") | $(median < "$scratch/capture") | $(median < "$scratch/passes") | $(median < "$scratch/write") | $(median < "$scratch/total") | $processor |"
done
