"""Batches and tiled drawings on a real dask.distributed LocalCluster (two
worker processes on the loopback interface, no dashboard, torn down after
the suite) and in worker processes here: a batch writes hlr-render draw's
bytes for every input and reports the bad ones, a second run draws
nothing, and a terrain drawn in 2x2 tiles has the single run's lines."""

import json
from collections import defaultdict

import numpy as np
import pytest

import hlr_render
from conftest import BRACKET, draw_with_cli

distributed = pytest.importorskip("distributed")


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  host="127.0.0.1", dashboard_address=None) as cluster:
        with distributed.Client(cluster, timeout=60) as client:
            yield client


def test_batch_writes_draws_bytes_on_the_cluster_and_here(client, occt_parts, tmp_path):
    (tmp_path / "words.step").write_text("not a step file\n")
    inputs = [BRACKET, occt_parts / "step" / "screw.step", occt_parts / "occ" / "Ball.brep",
              tmp_path / "words.step"]
    for where, on in (("cluster", client), ("here", None)):
        report = hlr_render.batch(inputs, tmp_path / where / "{stem}.svg", client=on, view="iso",
                                  report=tmp_path / f"{where}.json")
        assert json.loads((tmp_path / f"{where}.json").read_text()) == report
        statuses = [entry["status"] for entry in report["entries"]]
        assert statuses == ["drawn", "drawn", "drawn", "failed"], where
        assert "cannot read the file as STEP" in report["entries"][3]["message"]
        for entry in report["entries"][:3]:
            expected = draw_with_cli([entry["input"]], tmp_path / "cli.svg", {"view": "iso"})
            assert (tmp_path / where / (entry["output"].split("/")[-1])).read_bytes() == expected
    again = hlr_render.batch(inputs, tmp_path / "cluster" / "{stem}.svg", client=client,
                             view="iso")
    assert (again["drawn"], again["up_to_date"], again["failed"]) == (0, 3, 1)


def terrain(triangles):
    """A height field of rolling hills on the unit square, as bench/make_mesh
    makes them, in (n + 1)^2 vertices and 2 n^2 triangles."""
    n = round((triangles / 2) ** 0.5)
    i, j = np.meshgrid(np.arange(n + 1), np.arange(n + 1))
    x, z = i / n, j / n
    height = (0.12 * np.sin(2 * np.pi * 1.3 * x) * np.cos(2 * np.pi * 1.1 * z)
              + 0.05 * np.sin(2 * np.pi * (3.7 * x + 2.9 * z))
              + 0.02 * np.cos(2 * np.pi * 9.1 * x) * np.sin(2 * np.pi * 8.3 * z))
    vertices = np.stack([x.ravel(), height.ravel(), z.ravel()], axis=1)
    a = (j[:-1, :-1] * (n + 1) + i[:-1, :-1]).ravel()
    triangles = np.concatenate([np.stack([a, a + 1, a + n + 2], 1),
                                np.stack([a, a + n + 2, a + n + 1], 1)])
    return vertices, triangles


def segments(lines):
    return np.concatenate([np.hstack([line[:-1], line[1:]]) for line in lines])


def farthest_from(points, lines, cell=4.0):
    """The largest distance of a point from the nearest point of `lines`,
    measured as the renderer measures its tolerance: 0.01 device units
    along an edge's dominant axis (two runs that offer the faces in another
    order may put the end of a hidden interval one such tolerance apart,
    up to 0.0141 across the diagonal). The segments are found through a
    grid of cells."""
    s = segments(lines)
    grid = defaultdict(list)
    low = np.floor(np.minimum(s[:, :2], s[:, 2:]) / cell).astype(int)
    high = np.floor(np.maximum(s[:, :2], s[:, 2:]) / cell).astype(int)
    for k, ((x0, y0), (x1, y1)) in enumerate(zip(low, high)):
        for cx in range(x0 - 1, x1 + 2):
            for cy in range(y0 - 1, y1 + 2):
                grid[cx, cy].append(k)
    worst = 0.0
    for p in points:
        near = s[grid[tuple(np.floor(p / cell).astype(int))]]
        a, d = near[:, :2], near[:, 2:] - near[:, :2]
        t = np.clip(np.einsum("ij,ij->i", p - a, d) / np.maximum(np.einsum("ij,ij->i", d, d),
                                                                 1e-300), 0, 1)
        worst = max(worst, np.min(np.abs(a + t[:, None] * d - p).max(axis=1)))
    return worst


def test_tiles_draw_the_single_runs_lines(client):
    vertices, triangles = terrain(20000)
    # The renderer's lines join to the single run's within its tolerance.
    # Line precedence keeps the first of two hidden lines a unit apart in
    # the drawing's order, which tiles change: only the lengths agree then.
    for keep in (True, False):
        options = {"vertices": vertices, "triangles": triangles, "edges": "all",
                   "view": "iso", "keep_coincident": keep}
        single = hlr_render.draw(**options)
        for on in (client, None) if keep else (client,):
            tiled = hlr_render.draw(tiles=(2, 2), client=on, **options)
            for layer in ("visible", "hidden"):
                ours, theirs = getattr(tiled, layer), getattr(single, layer)
                length = [np.hypot(*(s[:, 2:] - s[:, :2]).T).sum() for s in
                          (segments(ours), segments(theirs))]
                assert abs(length[0] - length[1]) <= 1e-3 * length[1], (keep, layer)
                if keep:
                    ends = segments(ours)
                    points = np.concatenate([ends[:, :2], ends[:, 2:],
                                             (ends[:, :2] + ends[:, 2:]) / 2])
                    assert farthest_from(points, theirs) <= 0.01, layer
