#!/bin/bash
# hlr-render batch over every STEP, IGES and BREP part of Debian's
# occt-misc and every mesh of libcgal-demo's data set, fetched into caches
# on first use (never into the repository):
#
#   bench/batch.sh [BUILD_DIR] [JOBS]
#
# BUILD_DIR defaults to build/bench, JOBS to 0 (one thread per processor).
# It runs the batch, checks every drawing it wrote against
# `hlr-render draw INPUT -o OUTPUT` byte for byte, runs the batch again
# (which must draw nothing), and prints the counts, the failed inputs with
# their messages and the times. tests/cad runs a few of these parts on
# every test run.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/bench}
jobs=${2:-0}
tool=$build/bin/hlr-render
cache=${HLR_BENCH_CACHE:-$HOME/.cache/hlr-bench}
parts_cache=${HLR_DATA_CACHE:-$HOME/.cache/hlr-data}

[ -x "$tool" ] || { echo "batch.sh: no $tool; build with: cmake --preset bench && cmake --build build/bench" >&2; exit 2; }
source "$here/bench/bench_lib.sh"

fetch_meshes
parts=$parts_cache/data
if [ ! -f "$parts/step/screw.step" ]; then
  mkdir -p "$parts_cache"
  (cd "$parts_cache" && rm -rf pkg occt-misc_*.deb && apt-get download -qq occt-misc >/dev/null \
    && dpkg-deb -x occt-misc_*.deb pkg && rm -rf data && mv pkg/usr/share/opencascade/data data \
    && rm -rf pkg occt-misc_*.deb)
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
ls "$parts"/step/*.step "$parts"/iges/*.iges "$parts"/occ/*.brep "$cache"/data/meshes/* \
  > "$scratch/inputs.txt"

machine_line
commit_line "$here"
echo "inputs:  $(wc -l < "$scratch/inputs.txt") ($(grep -c -v /meshes/ "$scratch/inputs.txt") CAD parts, $(grep -c /meshes/ "$scratch/inputs.txt") meshes)"
echo

run_batch() {
  local status=0
  /usr/bin/time -f "%e s wall, %U s user, %S s system, %M KiB peak (the batch process)" \
    "$tool" batch "@$scratch/inputs.txt" -o "$scratch/out/{name}.svg" --jobs "$jobs" --quiet \
    --report "$scratch/report-$1.json" 2> "$scratch/err-$1" || status=$?
  echo "run $1: exit status $status; $(tail -1 "$scratch/err-$1")"
}

run_batch 1
python3 - "$scratch/report-1.json" <<'PY'
import json, sys
report = json.load(open(sys.argv[1]))
print(f"drawn {report['drawn']}, failed {report['failed']} in {report['seconds']:.1f} s")
slow = sorted(report["entries"], key=lambda e: -e["seconds"])[:5]
print("slowest: " + ", ".join(f"{e['input'].split('/')[-1]} {e['seconds']:.1f} s" for e in slow))
for e in report["entries"]:
    if e["status"] == "failed":
        print(f"  failed: {e['input'].split('/')[-1]}: {e['message'][:150]}")
PY

# Every drawing the batch wrote, against draw's.
python3 -c '
import json, sys
for e in json.load(open(sys.argv[1]))["entries"]:
    if e["status"] == "drawn":
        print(e["input"] + "\t" + e["output"])' "$scratch/report-1.json" > "$scratch/drawn.tsv"
same=0; different=0
while IFS=$'\t' read -r input output; do
  "$tool" draw "$input" -o "$scratch/draw.svg" --quiet 2>/dev/null || true
  if cmp -s "$scratch/draw.svg" "$output"; then same=$((same + 1)); else
    different=$((different + 1)); echo "  differs from draw: $input"; fi
done < "$scratch/drawn.tsv"
echo "byte for byte as hlr-render draw: $same of $((same + different))"

run_batch 2
python3 - "$scratch/report-2.json" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))
print(f"second run: drawn {r['drawn']}, up to date {r['up_to_date']}, "
      f"failed {r['failed']} (retried) in {r['seconds']:.1f} s")
PY
