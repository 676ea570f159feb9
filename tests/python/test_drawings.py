"""Drawings from Python are the command line's drawings: the same file for
the same options (meshes, CAD parts, sheets, every format), the same
drawing from arrays as from files, and the layers as arrays of the
polylines the file holds, each with the model it was drawn from."""

import re

import numpy as np
import pytest

import hlr_render
from conftest import BRACKET, box_arrays, draw_with_cli, undated, write_obj

# (models, draw's options, extension, save's options); occt-misc's parts
# are named by their path below its data folder.
CASES = [
    ([BRACKET], {}, ".svg", {}),
    ([BRACKET], {"view": "iso", "hidden": "dotted", "stroke": 0.5}, ".svg", {}),
    ([BRACKET], {"view": (30, 20), "perspective": 40.0, "size": (640, 480), "edges": "all",
                 "jobs": 2}, ".svg", {}),
    ([BRACKET], {"view": "front", "crease": 60.0, "hidden": "off", "halo": 3}, ".svg", {}),
    ([BRACKET], {"intersections": True, "intersection_color": "red",
                 "intersection_pattern": "dashed", "hidden_color": (51, 102, 204),
                 "retain_hidden_color": True}, ".svg", {}),
    ([BRACKET], {"face_color_intersections": True, "intersections": True, "wzero": 0.001,
                 "double": True, "view": "top"}, ".svg", {}),
    ([BRACKET], {"view": "iso", "intersections": True}, ".dxf", {}),
    ([BRACKET], {"view": "iso", "intersections": True}, ".eps", {}),
    ([BRACKET], {"views": ["front", "top", "right", "iso"], "page": "A4-landscape",
                 "first_angle": True, "line_weights": (0.7, 0.35, 0.18), "optimize": True},
     ".pdf", {}),
    ([BRACKET], {"page": "A4", "scale": "1:2", "dpi": 150, "background": "transparent"},
     ".png", {}),
    ([BRACKET], {"size": (300, 200)}, ".png", {"dpi": 192, "background": "transparent"}),
    (["occ/Ball.brep"], {"size": (3000, 3000)}, ".svg", {}),
    (["step/screw.step"], {"views": "front,top,right,iso", "page": "A4", "scale": "2:1",
                           "deflection": 0.01}, ".svg", {}),
    (["step/screw.step", BRACKET], {"view": "iso", "smooth_edges": True}, ".svg", {}),
]


@pytest.mark.parametrize("models, options, extension, save", CASES)
def test_same_file_as_the_command_line(request, tmp_path, models, options, extension, save):
    if any(isinstance(m, str) for m in models):
        data = request.getfixturevalue("occt_parts")
        models = [data / m if isinstance(m, str) else m for m in models]
    cli_options = {**options, **save}
    draw_with_cli(models, tmp_path / ("cli" + extension), cli_options)
    expected = undated(tmp_path / ("cli" + extension))
    drawing = hlr_render.draw(*models, **options)
    drawing.save(tmp_path / ("python" + extension), **save)
    assert undated(tmp_path / ("python" + extension)) == expected
    if extension == ".svg":
        assert drawing._repr_svg_().encode() == expected
    # output= writes what the command line's -o writes.
    hlr_render.draw(*models, output=tmp_path / ("output" + extension), **cli_options)
    assert undated(tmp_path / ("output" + extension)) == expected


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
    # The model's arrays hold every body's, indices shifted past the bodies before.
    assert len(model.vertices) == sum(len(b.vertices) for b in model.bodies)
    assert model.triangles[len(model.bodies[0].triangles)].min() >= len(model.bodies[0].vertices)

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


def test_each_polyline_names_the_model_it_was_drawn_from():
    """Boxes apart along x, given out of order: in views that keep x to the
    right, every polyline of a model lies left of those of the model to its
    right, in every layer, also after the plotter's reordering."""
    spans = [(10, 12), (0, 4), (6, 8)]
    models = [hlr_render.Model(hlr_render.Body(*box_arrays((a, 0, 0), (b, 2, 1))))
              for a, b in spans]
    drawing = hlr_render.draw(*models, views="front,top", edges="all", optimize=True,
                              keep_coincident=True)
    left_to_right = np.argsort([a for a, _ in spans])
    for view in drawing.views:
        for layer in ("visible", "hidden"):
            lines, owners = getattr(view, layer), getattr(view, layer + "_models")
            assert len(lines) == len(owners) > 0
            x = {k: [p[:, 0] for p, o in zip(lines, owners) if o == k] for k in range(3)}
            for left, right in zip(left_to_right, left_to_right[1:]):
                assert max(p.max() for p in x[left]) < min(p.min() for p in x[right])
        assert set(view.intersection_models.tolist()) <= {-1}


def test_stats_count_what_was_drawn():
    stats = hlr_render.draw(BRACKET).stats
    model = hlr_render.load(BRACKET)
    assert stats["models"] == 1 and stats["bodies"] == len(model.bodies)
    assert stats["triangles"] == len(model.triangles)
    drawn = stats["pieces_drawn"]
    assert 0 < drawn["visible"] <= stats["pieces_received"]["visible"]


def test_models_stand_on_their_up_axis_and_up_overrides(tmp_path):
    """A box 1 wide (x), 2 deep (y) and 3 tall (z): read z-up (an STL file,
    or a Model saying so) its front view is 1 x 3; y-up (an OBJ file, or a
    Model by default) 1 x 2; up= turns every model of the drawing."""
    vertices, triangles = box_arrays((0, 0, 0), (1, 2, 3))
    write_obj(tmp_path / "box.obj", vertices, triangles)
    with open(tmp_path / "box.stl", "w") as out:
        out.write("solid box\n")
        for a, b, c in triangles:
            out.write("facet normal 0 0 0\nouter loop\n")
            for v in (a, b, c):
                out.write("vertex {} {} {}\n".format(*vertices[v]))
            out.write("endloop\nendfacet\n")
        out.write("endsolid box\n")

    def aspect(drawing):
        points = np.concatenate(drawing.visible)
        width, height = points.max(axis=0) - points.min(axis=0)
        return round(height / width, 3)

    assert hlr_render.load(tmp_path / "box.stl").up == "z"
    assert hlr_render.load(tmp_path / "box.obj").up == "y"
    assert hlr_render.load(tmp_path / "box.obj", up="-x").up == "-x"
    body = hlr_render.Body(vertices, triangles)
    assert hlr_render.Model(body).up == "y"
    assert hlr_render.Model(hlr_render.Model(body, up="z")).up == "z"
    cases = [(tmp_path / "box.stl", {}, 3.0), (tmp_path / "box.obj", {}, 2.0),
             (tmp_path / "box.obj", {"up": "z"}, 3.0), (tmp_path / "box.stl", {"up": "y"}, 2.0),
             (hlr_render.Model(body, up="z"), {}, 3.0), (body, {}, 2.0)]
    for model, options, expected in cases:
        assert aspect(hlr_render.draw(model, view="front", **options)) == expected, (model,
                                                                                      options)
    with pytest.raises(ValueError, match="--up: expected one of x, y, z, -x, -y, -z"):
        hlr_render.draw(body, up="up")
    with pytest.raises(ValueError, match="up: expected one of"):
        hlr_render.Model(body, up="Z")
