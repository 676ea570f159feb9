"""Tiled drawings of generated terrains (bench/make_mesh.cpp), against the
single run, with all their edges at the default view:

  python3 bench/tiles.py [BUILD_DIR]

- 1M triangles in 2x2 tiles on a dask LocalCluster of two worker processes
  (loopback only, no dashboard): visible and hidden length and polylines
  against the single run, and the times;
- 10M triangles: `hlr-render draw` whole and `--tiles 2x2` (the tiles as
  worker processes, two at a time): the peak resident memory of the single
  run (/usr/bin/time) and of each tile's worker (--stats), and the times.

BUILD_DIR defaults to build/bench. The terrains are written once into
$HLR_BENCH_CACHE (default ~/.cache/hlr-bench); the 10M run needs about
7 GiB of memory.
"""

import os
import re
import subprocess
import sys
import time
from pathlib import Path

import numpy as np

here = Path(__file__).resolve().parents[1]
build = Path(sys.argv[1]) if len(sys.argv) > 1 else here / "build" / "bench"
tool = build / "bin" / "hlr-render"
cache = Path(os.environ.get("HLR_BENCH_CACHE") or Path.home() / ".cache" / "hlr-bench")
sys.path.insert(0, str(build / "python"))
os.environ["PYTHONPATH"] = str(build / "python")
os.environ["HLR_RENDERER_MODULE"] = ""
import hlr_render  # noqa: E402


def terrain(triangles):
    path = cache / f"terrain-{triangles}.off"
    if not path.exists():
        cache.mkdir(parents=True, exist_ok=True)
        subprocess.run([build / "bin" / "hlr_make_mesh", "terrain", str(triangles), path],
                       check=True, stdout=subprocess.DEVNULL)
    return path


def lengths(drawing):
    def total(lines):
        return sum(np.hypot(*np.diff(line, axis=0).T).sum() for line in lines)
    return total(drawing.visible), total(drawing.hidden)


def on_cluster(path):
    from distributed import Client, LocalCluster
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None) as cluster, Client(cluster) as client:
        start = time.monotonic()
        single = hlr_render.draw(str(path), edges="all")
        single_s = time.monotonic() - start
        start = time.monotonic()
        tiled = hlr_render.draw(str(path), edges="all", tiles=(2, 2), client=client)
        tiled_s = time.monotonic() - start
    (sv, sh), (tv, th) = lengths(single), lengths(tiled)
    print(f"| {path.name} | single run | {single_s:.1f} | {sv:.1f} | {sh:.1f} | "
          f"{len(single.visible)} / {len(single.hidden)} |")
    print(f"| {path.name} | 2x2 tiles on the LocalCluster | {tiled_s:.1f} | {tv:.1f} "
          f"({(tv - sv) / sv:+.1e}) | {th:.1f} ({(th - sh) / sh:+.1e}) | "
          f"{len(tiled.visible)} / {len(tiled.hidden)} |")


def measured(arguments):
    run = subprocess.run(["/usr/bin/time", "-v", tool, *arguments, "--stats", "--quiet"],
                         capture_output=True, text=True, check=True)
    peak = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", run.stderr)[1]) / 1024
    clock = re.search(r"Elapsed \(wall clock\) time .*: (\S+)", run.stderr)[1].split(":")
    wall = sum(float(part) * 60 ** k for k, part in enumerate(reversed(clock)))
    workers = re.search(r"peak memory \(MiB\) (.*)", run.stdout)
    return peak, wall, [float(w) for w in workers[1].split(",")] if workers else []


def memory(path):
    out = Path("/tmp") / f"hlr-tiles-bench-{os.getpid()}.svg"
    try:
        peak, wall, _ = measured(["draw", str(path), "-o", str(out), "--edges", "all"])
        print(f"| {path.name} | single run | {wall:.1f} | {peak:.0f} | |")
        tiled_peak, tiled_wall, workers = measured(
            ["draw", str(path), "-o", str(out), "--edges", "all", "--tiles", "2x2"])
        print(f"| {path.name} | 2x2 tiles, 2 worker processes at a time | {tiled_wall:.1f} | "
              f"{tiled_peak:.0f} (all processes) | "
              f"{', '.join(f'{w:.0f}' for w in workers)}: at most "
              f"{max(workers) / peak:.0%} of the single run |")
    finally:
        out.unlink(missing_ok=True)


def main():
    print(f"machine: {os.uname().machine}, {os.cpu_count()} processors; load average "
          f"{' '.join(f'{x:.2f}' for x in os.getloadavg())}")
    print("\n| terrain | run | wall (s) | visible length | hidden length | polylines (visible / hidden) |")
    print("|---|---|---:|---:|---:|---:|")
    on_cluster(terrain(1_000_000))
    print("\n| terrain | run | wall (s) | peak resident (MiB) | each tile's worker (MiB) |")
    print("|---|---|---:|---:|---|")
    memory(terrain(10_000_000))


# The LocalCluster starts its workers as fresh interpreters that import this
# file: only the run that was started runs the benchmarks.
if __name__ == "__main__":
    main()
