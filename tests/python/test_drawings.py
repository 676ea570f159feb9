"""Drawings from Python are the command line's drawings: the same file for
the same options, the same drawing from arrays as from files, and the
layers as arrays of the polylines the file holds."""

import re

import numpy as np
import pytest

import hlr_render
from conftest import BRACKET, box_arrays, draw_with_cli, write_obj

OPTION_SETS = [
    {},
    {"view": "iso", "hidden": "dotted", "stroke": 0.5},
    {"view": (30, 20), "perspective": 40.0, "size": (640, 480), "edges": "all", "jobs": 2},
    {"view": "front", "crease": 60.0, "hidden": "off", "halo": 3},
    {"intersections": True, "intersection_color": "red", "intersection_pattern": "dashed",
     "hidden_color": "#3366cc", "retain_hidden_color": True},
    {"face_color_intersections": True, "intersections": True, "wzero": 0.001,
     "double_precision": True, "view": "top"},
]


@pytest.mark.parametrize("options", OPTION_SETS, ids=lambda o: ",".join(o) or "defaults")
def test_same_file_as_the_command_line(tmp_path, options):
    expected = draw_with_cli([BRACKET], tmp_path / "cli.svg", options)
    drawing = hlr_render.draw(BRACKET, **options)
    drawing.save(tmp_path / "python.svg")
    assert (tmp_path / "python.svg").read_bytes() == expected
    assert drawing._repr_svg_().encode() == expected


def without_creation_date(data):
    """cairo stamps an EPS with the second it was written."""
    return re.sub(rb"%%CreationDate: [^\n]*\n", b"", data)


@pytest.mark.parametrize("extension", [".png", ".dxf", ".eps"])
def test_every_format_is_the_command_line_file(tmp_path, extension):
    options = {"view": "iso", "intersections": True}
    expected = draw_with_cli([BRACKET], tmp_path / ("cli" + extension), options)
    hlr_render.draw(BRACKET, **options).save(tmp_path / ("python" + extension))
    actual = (tmp_path / ("python" + extension)).read_bytes()
    assert without_creation_date(actual) == without_creation_date(expected)


def test_several_models_drawn_together_as_on_the_command_line(tmp_path):
    vertices, triangles = box_arrays((-20, -5, -5), (60, 5, 5))
    box = write_obj(tmp_path / "box.obj", vertices, triangles)
    options = {"view": "iso", "intersections": True}
    expected = draw_with_cli([BRACKET, box], tmp_path / "cli.svg", options)
    drawing = hlr_render.draw([hlr_render.load(BRACKET), str(box)], **options)
    assert drawing._repr_svg_().encode() == expected


def test_arrays_and_files_give_the_same_drawing(tmp_path):
    # A loaded model's bodies rebuilt from their arrays.
    model = hlr_render.load(BRACKET)
    rebuilt = hlr_render.Model([hlr_render.Body(b.vertices, b.triangles, b.lines,
                                                color=b.color, name=b.name)
                                for b in model.bodies])
    assert hlr_render.draw(rebuilt)._repr_svg_() == hlr_render.draw(model)._repr_svg_()

    # Arrays with every corner repeated per triangle, as an STL would hold
    # them, and the OBJ file of the same arrays: welded alike.
    vertices, triangles = box_arrays((0, 0, 0), (2, 1, 3))
    soup = vertices[triangles.reshape(-1)]
    soup_triangles = np.arange(len(soup)).reshape(-1, 3)
    lines = np.array([[0, 7]])
    path = write_obj(tmp_path / "soup.obj", soup, soup_triangles, lines)
    from_file = hlr_render.draw(path, view="iso")
    from_arrays = hlr_render.draw(vertices=soup, triangles=soup_triangles, lines=lines,
                                  view="iso")
    assert from_arrays._repr_svg_() == from_file._repr_svg_()
    assert len(from_file.visible) > 0


def test_loaded_arrays_are_consistent():
    model = hlr_render.load(BRACKET)
    assert model.vertices.shape == (sum(len(b.vertices) for b in model.bodies), 3)
    assert model.vertices.dtype == np.float64 and model.triangles.dtype == np.int64
    assert model.triangles.shape[1] == 3 and model.lines.shape[1] == 2
    assert model.triangles.min() >= 0 and model.triangles.max() < len(model.vertices)
    assert model.triangle_colors.shape == (len(model.triangles),)
    assert model.line_colors.shape == (len(model.lines),)
    # The second body's indices follow the first body's vertices.
    first = model.bodies[0]
    assert model.triangles[len(first.triangles)].min() >= len(first.vertices)


def polylines_in_svg(svg, layer):
    """The points of every <polyline> in the layer <g id=LAYER>."""
    body = svg.split(f'id="{layer}"', 1)[1].split('<g id="', 1)[0]
    return [np.array([[float(v) for v in pair.split(",")] for pair in points.split()])
            for points in re.findall(r'points="([^"]*)"', body)]


def test_layers_hold_the_polylines_of_the_file():
    drawing = hlr_render.draw(BRACKET, view="iso", intersections=True, size=(800, 600))
    svg = drawing._repr_svg_()
    assert (drawing.width, drawing.height) == (800, 600)
    for layer in ("visible", "hidden", "intersections"):
        polylines = getattr(drawing, layer)
        written = polylines_in_svg(svg, layer)
        assert len(polylines) == len(written)
        for points, text in zip(polylines, written):
            assert points.dtype == np.float64 and points.ndim == 2 and points.shape[1] == 2
            # The file rounds to three decimals.
            np.testing.assert_allclose(points, text, atol=5e-4)
    assert len(drawing.visible) > 0 and len(drawing.hidden) > 0
    assert hlr_render.draw(BRACKET, hidden="off").hidden == []


def test_stats_count_what_was_drawn():
    stats = hlr_render.draw(BRACKET).stats
    model = hlr_render.load(BRACKET)
    assert stats["models"] == 1 and stats["bodies"] == len(model.bodies)
    assert stats["triangles"] == len(model.triangles)
    drawn = stats["pieces_drawn"]
    assert 0 < drawn["visible"] <= stats["pieces_received"]["visible"]
    assert set(stats["time_ms"]) == {"scene", "capture", "update"}
