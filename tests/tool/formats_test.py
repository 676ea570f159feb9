"""hlr-render draw in every output format, each read back by a real reader.

PDF pages go through pdfinfo and pdftoppm (poppler), DXF through ezdxf
and LibreCAD (where Debian's librecad is installed), SVG through xmllint,
PNG through Pillow (size, pHYs, pixels).
The DXF and the PNG are compared with the SVG of the same drawing, and a
sheet of a box's views must line up. Run by CTest with HLR_RENDER and
EXAMPLES_DIR set.
"""

import os
import re
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

import ezdxf
import numpy as np
import pytest
from PIL import Image
from svg.path import Arc, parse_path

# occt-misc's CAD parts, fetched into the cache the other suites share.
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "python"))
from conftest import occt_parts  # noqa: E402,F401

HLR_RENDER = os.environ["HLR_RENDER"]
BRACKET = os.path.join(os.environ["EXAMPLES_DIR"], "bracket.obj")
SVG = "{http://www.w3.org/2000/svg}"
LAYERS = ("hidden", "visible", "intersections", "markers")


def draw(*args, check=True):
    result = subprocess.run([HLR_RENDER, "draw", *map(str, args)], capture_output=True,
                            text=True)
    if check:
        assert result.returncode == 0, result.stderr
    return result


@pytest.fixture(scope="module")
def box(tmp_path_factory):
    """A 40 x 20 x 10 box (x, y, z) as an OBJ file."""
    path = tmp_path_factory.mktemp("box") / "box.obj"
    corners = [(x, y, z) for x in (0, 40) for y in (0, 20) for z in (0, 10)]
    faces = [(1, 2, 4, 3), (5, 7, 8, 6), (1, 5, 6, 2), (3, 4, 8, 7), (1, 3, 7, 5), (2, 6, 8, 4)]
    lines = [f"v {x} {y} {z}" for x, y, z in corners]
    lines += [f"f {a} {b} {c}\nf {a} {c} {d}" for a, b, c, d in faces]
    path.write_text("\n".join(lines) + "\n")
    return path


def svg_layers(path, prefix="", layers_wanted=LAYERS):
    """Layer name -> list of (colour, points) of each <polyline>, in order."""
    root = ET.parse(path).getroot()
    layers = {}
    for layer in layers_wanted:
        group = root.find(f".//{SVG}g[@id='{prefix}{layer}']")
        assert group is not None, f"no layer {prefix}{layer} in {path}"
        layers[layer] = [
            (style.get("stroke"),
             [tuple(map(float, p.split(","))) for p in line.get("points").split()])
            for style in group.findall(f"{SVG}g") for line in style.findall(f"{SVG}polyline")
        ]
    return layers


def png_image(path):
    """(width, height, dots per inch, RGBA array) of a PNG, read by Pillow
    (which checks every chunk's CRC)."""
    with Image.open(path) as image:
        image.load()
        return (*image.size, image.info["dpi"][0], np.asarray(image.convert("RGBA"), dtype=int))


def test_svg_of_pages_and_sheets_parse_and_have_page_units(tmp_path, box):
    runs = {"plain.svg": [], "page.svg": ["--page", "A4"],
            "sheet.svg": ["--views", "front,top,right,iso", "--page", "A3-landscape"]}
    for name, options in runs.items():
        draw(box, "-o", tmp_path / name, *options)
        assert subprocess.run(["xmllint", "--noout", tmp_path / name]).returncode == 0
    root = ET.parse(tmp_path / "page.svg").getroot()
    assert (root.get("width"), root.get("height"), root.get("viewBox")) == ("210mm", "297mm",
                                                                            "0 0 210 297")
    assert ET.parse(tmp_path / "plain.svg").getroot().get("width") == "1000"


@pytest.mark.parametrize("page,points", [("A4", "595.276 x 841.89"),
                                         ("A3-landscape", "1190.55 x 841.89"),
                                         ("100x50mm", "283.465 x 141.732"),
                                         (None, "750 x 750")])
def test_pdf_has_the_page_asked_for_and_is_not_blank(tmp_path, page, points):
    pdf = tmp_path / "drawing.pdf"
    draw(BRACKET, "-o", pdf, *(["--page", page] if page else []))
    info = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True, check=True).stdout
    assert re.search(r"Page size:\s+" + re.escape(points) + " pts", info), info
    subprocess.run(["pdftoppm", "-r", "30", "-gray", pdf, tmp_path / "page"], check=True)
    pgm = next(tmp_path.glob("page*.pgm")).read_bytes()
    width, height, _ = map(int, pgm.split(maxsplit=4)[1:4])
    gray = np.frombuffer(pgm[-width * height:], dtype=np.uint8)
    assert (gray < 160).sum() > 50, "the page is blank"
    assert (gray == 255).mean() > 0.5


def test_png_has_its_size_and_resolution_and_lines_where_the_svg_has_them(tmp_path):
    draw(BRACKET, "-o", tmp_path / "drawing.svg", "--size", "300,200")
    visible = svg_layers(tmp_path / "drawing.svg")["visible"]
    for dpi in (96, 192):
        png = tmp_path / f"drawing{dpi}.png"
        draw(BRACKET, "-o", png, "--size", "300,200", "--dpi", dpi, "--stroke", 2)
        width, height, dots_per_inch, pixels = png_image(png)
        k = dpi / 96
        assert (width, height) == (300 * k, 200 * k)
        # pHYs holds whole dots per metre.
        assert dots_per_inch == pytest.approx(round(dpi / 0.0254) * 0.0254)
        assert tuple(pixels[0, 0]) == (255, 255, 255, 255)
        # Every segment's midpoint is ink (darker than the white page).
        for _, points in visible:
            for (x0, y0), (x1, y1) in zip(points, points[1:]):
                x, y = int((x0 + x1) / 2 * k), int((y0 + y1) / 2 * k)
                patch = pixels[max(y - 1, 0):y + 2, max(x - 1, 0):x + 2, :3]
                assert patch.min() < 200, f"no line at {x},{y} ({dpi} dpi)"
    draw(BRACKET, "-o", tmp_path / "clear.png", "--size", "300,200", "--background",
         "transparent")
    assert png_image(tmp_path / "clear.png")[3][0, 0, 3] == 0


def test_eps_is_encapsulated_with_a_bounding_box(tmp_path):
    draw(BRACKET, "-o", tmp_path / "drawing.eps", "--page", "A4")
    text = (tmp_path / "drawing.eps").read_text(errors="replace")
    assert text.startswith("%!PS-Adobe-3.0 EPSF-3.0")
    box = re.search(r"%%BoundingBox: (\d+) (\d+) (\d+) (\d+)", text)
    assert box and 0 <= int(box[1]) < int(box[3]) <= 596 and 0 <= int(box[2]) < int(box[4]) <= 842


def test_dxf_holds_the_svg_drawing_in_its_layers(tmp_path):
    options = ["--page", "A4", "--intersections", "--hidden-color", "gray", "--title",
               "Bracket & pin", "--drawn-by", "A. Drafter", "--date", "2024-02-29"]
    draw(BRACKET, "-o", tmp_path / "drawing.svg", *options)
    draw(BRACKET, "-o", tmp_path / "drawing.dxf", *options)
    svg = svg_layers(tmp_path / "drawing.svg")
    doc = ezdxf.readfile(tmp_path / "drawing.dxf")
    assert doc.dxfversion == "AC1015"
    assert len(doc.audit().errors) == 0
    assert doc.header["$INSUNITS"] == 4
    assert {layer.dxf.name for layer in doc.layers} >= {"VISIBLE", "HIDDEN", "INTERSECTIONS",
                                                        "MARKERS", "CENTER", "FRAME"}
    # ISO 128's patterns for a 1 mm pen, scaled by each line's width.
    assert doc.layers.get("HIDDEN").dxf.linetype == "HIDDEN2"
    assert doc.layers.get("CENTER").dxf.linetype == "CENTERTINY"
    assert [t.value for t in doc.linetypes.get("HIDDEN2").pattern_tags.tags
            if t.code == 49] == [12.0, -3.0]
    assert [t.value for t in doc.linetypes.get("CENTERTINY").pattern_tags.tags
            if t.code == 49] == [24.0, -3.0, 0.0, -3.0]
    weights = {"visible": 0.5, "hidden": 0.25, "intersections": 0.25}
    assert doc.layers.get("VISIBLE").dxf.lineweight == 50
    assert doc.layers.get("HIDDEN").dxf.lineweight == 25
    for layer, lines in svg.items():
        entities = doc.modelspace().query(f'LWPOLYLINE LINE[layer=="{layer.upper()}"]')
        assert len(entities) == len(lines), layer
        for entity, (colour, points) in zip(entities, lines):
            got = ([(x, y) for x, y, *_ in entity.get_points()] if entity.dxftype() == "LWPOLYLINE"
                   else [tuple(entity.dxf.start)[:2], tuple(entity.dxf.end)[:2]])
            want = [(x, 297.0 - y) for x, y in points]
            assert np.allclose(got, want, atol=1e-3), layer
            assert entity.dxf.lineweight == round(100 * weights[layer])
            assert entity.dxf.ltscale == weights[layer]
            rgb = ezdxf.colors.int2rgb(int(colour[1:], 16))
            aci = (0, 0, 0) if entity.dxf.color == 7 else ezdxf.colors.aci2rgb(entity.dxf.color)
            assert max(abs(a - b) for a, b in zip(rgb, aci)) < 64, (colour, entity.dxf.color)
    assert len(svg["visible"]) > 0 and len(svg["hidden"]) > 0 and len(svg["intersections"]) > 0
    # The title block's texts, the projection symbol's circles, the border.
    texts = {t.dxf.text for t in doc.modelspace().query('TEXT[layer=="FRAME"]')}
    assert {"BRACKET & PIN", "A. DRAFTER", "2024-02-29", "A4", "THIRD ANGLE", "Scale"} <= texts
    assert len(doc.modelspace().query('CIRCLE[layer=="FRAME"]')) == 2
    assert len(doc.modelspace().query('LINE[layer=="FRAME"]')) >= 4


def test_sheet_views_of_a_box_line_up(tmp_path, box):
    for angle in ([], ["--first-angle"]):
        svg = tmp_path / "sheet.svg"
        draw(box, "-o", svg, "--views", "front,top,right,iso", "--page", "A4", *angle)
        extents = {}
        for number, name in enumerate(("front", "top", "right", "iso"), 1):
            layers = svg_layers(svg, prefix=f"view-{number}-{name}-")
            points = np.array([p for _, line in layers["visible"] for p in line])
            extents[name] = (points[:, 0].min(), points[:, 0].max(), points[:, 1].min(),
                             points[:, 1].max())
        front, top, right = extents["front"], extents["top"], extents["right"]
        assert np.allclose(front[:2], top[:2], atol=2e-3)
        assert np.allclose(front[2:], right[2:], atol=2e-3)
        # One scale: 40 x 20 front, 40 x 10 top, 10 x 20 right.
        scale = (front[1] - front[0]) / 40
        assert np.isclose(top[3] - top[2], 10 * scale, atol=2e-3)
        assert np.isclose(right[1] - right[0], 10 * scale, atol=2e-3)
        assert (top[3] < front[2]) == (not angle) and (right[0] > front[1]) == (not angle)


def test_optimize_keeps_the_lines_and_shortens_pen_travel(tmp_path):
    def segments(path):
        found = set()
        for layer, lines in svg_layers(path).items():
            for _, points in lines:
                for a, b in zip(points, points[1:]):
                    found.add((layer, min(a, b), max(a, b)))
        return found

    draw(BRACKET, "-o", tmp_path / "plain.svg", "--page", "A4")
    result = draw(BRACKET, "-o", tmp_path / "plotter.svg", "--page", "A4", "--optimize",
                  "--stats")
    before, after = map(float, re.search(r"pen-up travel:\s+([\d.]+) before, ([\d.]+) after",
                                         result.stdout).groups())
    assert after < before
    assert segments(tmp_path / "plain.svg") == segments(tmp_path / "plotter.svg")


def test_views_drawn_together_are_the_views_drawn_alone(tmp_path):
    """Each view of a sheet (drawn on threads) holds the lines of that view
    drawn by itself, and the sheet comes out the same on every run."""
    views = ("front", "top", "iso")
    for run in ("a", "b"):
        draw(BRACKET, "-o", tmp_path / f"sheet_{run}.svg", "--views", ",".join(views))
    assert (tmp_path / "sheet_a.svg").read_bytes() == (tmp_path / "sheet_b.svg").read_bytes()
    for number, name in enumerate(views, 1):
        draw(BRACKET, "-o", tmp_path / f"{name}.svg", "--view", name)
        alone = svg_layers(tmp_path / f"{name}.svg")
        together = svg_layers(tmp_path / "sheet_a.svg", prefix=f"view-{number}-{name}-")
        for layer in LAYERS:
            assert [(c, len(p)) for c, p in alone[layer]] == \
                [(c, len(p)) for c, p in together[layer]], (name, layer)


def ink_runs(column):
    """Lengths of the (ink, paper) runs along a column of booleans, in order."""
    runs, current, length = [], bool(column[0]), 0
    for value in column:
        if bool(value) == current:
            length += 1
        else:
            runs.append((current, length))
            current, length = bool(value), 1
    runs.append((current, length))
    return runs


def test_librecad_prints_the_sheet_with_dashed_hidden_lines_and_its_title(tmp_path):
    """A real CAD program reads the DXF as drawn: LibreCAD 2.2 prints it
    (dxf2pdf, fitted to an A4 page) with the hidden square's edge visibly
    dashed, dashes and gaps near ISO 128's 12 and 3 line widths (LibreCAD
    draws its own pattern of the linetype's name: 2 mm and 1 mm, 2.25 and
    0.75 mm with the pen's ends), and with the title block's text."""
    if shutil.which("librecad") is None:
        pytest.skip("librecad not installed (Debian's librecad): LibreCAD's print not checked")
    model = tmp_path / "squares.obj"
    model.write_text("v -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\nv -0.5 -0.5 0\nv 0.5 -0.5 0\n"
                     "v 0.5 0.5 0\nv -0.5 0.5 0\nf 1 2 3\nf 1 3 4\nf 5 6 7\nf 5 7 8\n")
    options = ["--view", "front", "--page", "A4", "--scale", "50:1", "--date", "2024-02-29",
               "--title", "SQUARES"]
    draw(model, "-o", tmp_path / "sheet.svg", *options)
    draw(model, "-o", tmp_path / "sheet.dxf", *options)
    hidden = svg_layers(tmp_path / "sheet.svg")["hidden"]
    # The hidden square's left edge, 50 mm long, in sheet millimetres.
    points = hidden[0][1]
    left = min(x for x, _ in points)
    top, bottom = min(y for _, y in points), max(y for _, y in points)
    assert bottom - top == pytest.approx(50.0)
    env = {**os.environ, "QT_QPA_PLATFORM": "offscreen"}
    subprocess.run(["librecad", "dxf2pdf", "-a", "sheet.dxf"], cwd=tmp_path, env=env,
                   capture_output=True, timeout=120, check=True)
    dpi = 300
    subprocess.run(["pdftoppm", "-r", str(dpi), "-gray", "-png", "sheet.pdf", "page"],
                   cwd=tmp_path, check=True)
    with Image.open(next(tmp_path.glob("page*.png"))) as image:
        ink = np.asarray(image.convert("L")) < 128
    # The centring marks reach the sheet's edges, so the ink spans the sheet:
    # that maps sheet millimetres onto the print.
    rows, columns = np.nonzero(ink)
    scale_x = (columns.max() - columns.min()) / 210.0
    scale_y = (rows.max() - rows.min()) / 297.0
    assert scale_x == pytest.approx(scale_y, rel=0.02)
    x = columns.min() + left * scale_x
    y0, y1 = int(rows.min() + (top + 2) * scale_y), int(rows.min() + (bottom - 2) * scale_y)
    # The column of the edge: the one with the most ink near where it maps.
    candidates = range(int(x) - 6, int(x) + 7)
    column = max(candidates, key=lambda c: ink[y0:y1, c].sum())
    runs = ink_runs(ink[y0:y1, column])
    dashes = [n / scale_y for on, n in runs[1:-1] if on]
    gaps = [n / scale_y for on, n in runs[1:-1] if not on]
    # 46 mm of a 0.25 mm line: ISO 128's 3.75 mm period gives twelve dashes;
    # a near-solid line (LibreCAD's DASHED at 12 and 6 mm) three.
    assert len(dashes) >= 8, runs
    assert all(1.0 < d < 4.0 for d in dashes), dashes
    assert all(0.4 < g < 1.5 for g in gaps), gaps
    # The title block's title field (its lower left cell) holds ink: the text.
    title = ink[int(rows.min() + 269 * scale_y):int(rows.min() + 285 * scale_y),
                int(columns.min() + 22 * scale_x):int(columns.min() + 60 * scale_x)]
    assert title.sum() > 50


def distances_to_segments(points, segments):
    """Each point's distance to the nearest of the segments (n x 2 x 2)."""
    a, d = segments[:, 0], segments[:, 1] - segments[:, 0]
    length2 = np.maximum((d * d).sum(axis=1), 1e-30)
    nearest = []
    for chunk in np.array_split(points, max(1, len(points) // 200)):
        rel = chunk[:, None, :] - a[None]
        t = np.clip((rel * d[None]).sum(axis=2) / length2, 0.0, 1.0)
        gap = rel - t[..., None] * d[None]
        nearest.append(np.sqrt((gap * gap).sum(axis=2).min(axis=1)))
    return np.concatenate(nearest)


@pytest.mark.parametrize("part", ["step/screw.step", "iges/bearing.iges"])
def test_arcs_lie_on_the_polylines_of_their_pieces(tmp_path, occt_parts, part):
    """Circles and ellipses of CAD parts are written as arcs (SVG path arcs;
    DXF CIRCLE, ARC and ELLIPSE, read back by ezdxf; cairo's arcs in PNG).
    Sampled from end to end, every arc lies within 0.05 mm of the polylines
    of its own layer that the same sheet has with --curves polylines: a
    wrong sweep, large-arc flag, rotation or start angle draws another part
    of the ellipse, which is the other layer's where it is hidden. The PNG's
    ink lies within two pixels (0.5 mm) of the polylines' and theirs of
    its."""
    options = ["--views", "front,top,right,iso", "--page", "A4", "--dpi", "100"]
    for name, more in (("arcs.svg", []), ("arcs.dxf", []), ("arcs.png", []),
                       ("polylines.svg", ["--curves", "polylines"]),
                       ("polylines.png", ["--curves", "polylines"])):
        draw(occt_parts / part, "-o", tmp_path / name, *options, *more)
    arcs_ink, polylines_ink = (png_image(tmp_path / name)[3][..., 0] < 128
                               for name in ("arcs.png", "polylines.png"))
    for ink, near in ((arcs_ink, polylines_ink), (polylines_ink, arcs_ink)):
        grown = np.pad(near, 2)
        grown = np.any([grown[dy:dy + ink.shape[0], dx:dx + ink.shape[1]]
                        for dy in range(5) for dx in range(5)], axis=0)
        assert not (ink & ~grown).any()
    views = [f"view-{k}-{name}-" for k, name in enumerate(("front", "top", "right", "iso"), 1)]
    samples = np.linspace(0.0, 1.0, 9)
    root = ET.parse(tmp_path / "arcs.svg").getroot()
    doc = ezdxf.readfile(tmp_path / "arcs.dxf")
    assert len(doc.audit().errors) == 0
    kinds = set()
    for layer in ("visible", "hidden"):
        segments = np.array([segment for view in views
                             for _, points in svg_layers(tmp_path / "polylines.svg", view)[layer]
                             for segment in zip(points, points[1:])])
        svg_arcs = [arc for view in views
                    for path in root.find(f".//{SVG}g[@id='{view}{layer}']").iter(f"{SVG}path")
                    for arc in parse_path(path.get("d")) if isinstance(arc, Arc)]
        conics = doc.modelspace().query(f'CIRCLE ARC ELLIPSE[layer=="{layer.upper()}"]')
        kinds |= {entity.dxftype() for entity in conics}
        svg_points = [(p.real, p.imag) for arc in svg_arcs for p in map(arc.point, samples)]
        dxf_points = [(p.x, 297.0 - p.y) for entity in conics for p in entity.flattening(0.005)]
        assert len(svg_arcs) > 10 and len(conics) > 5, layer
        for points in (svg_points, dxf_points):
            assert distances_to_segments(np.array(points), segments).max() < 0.05, layer
    assert len(kinds) >= 2, kinds


def test_screw_sheet_has_an_iso_scale_and_centre_lines_on_its_shaft(tmp_path, occt_parts):
    """A four-view A4 sheet of screw.step (a shaft of coaxial cylinders and
    cones, z up) states one of ISO 5455's scales in its title block. The
    side views (front, right) draw the shaft's one axis as one vertical
    chain line through the middle of the outline, 3 mm past the chamfer's
    end and the domed head's top; the end view (top) a centre mark of four
    arms out from the centre of the head's circle, each 3 mm past it; the
    iso view none. The DXF
    holds as many lines on its CENTER layer; --centre-lines off none."""
    options = [occt_parts / "step/screw.step", "--views", "front,top,right,iso", "--page", "A4"]
    draw(*options, "-o", tmp_path / "screw.svg")
    draw(*options, "-o", tmp_path / "screw.dxf")
    draw(*options, "--centre-lines", "off", "-o", tmp_path / "off.svg")
    root = ET.parse(tmp_path / "screw.svg").getroot()
    texts = [t.text for t in root.iter(f"{SVG}text")]
    assert any(re.fullmatch(r"(1:[125]0*|[125]0*:1)", t or "") for t in texts), texts
    wanted = ("centre-lines", "visible")
    count = 0
    for view in ("1-front", "2-top", "3-right", "4-iso"):
        layers = svg_layers(tmp_path / "screw.svg", f"view-{view}-", wanted)
        assert not svg_layers(tmp_path / "off.svg", f"view-{view}-", wanted)["centre-lines"]
        lines = [np.array(points) for _, points in layers["centre-lines"]]
        outline = np.concatenate([points for _, points in layers["visible"]])
        low, high = outline.min(axis=0), outline.max(axis=0)
        count += len(lines)
        if view == "4-iso":
            assert not lines
        elif view == "2-top":
            head = max((arc for path in root.find(f".//{SVG}g[@id='view-{view}-visible']")
                        .iter(f"{SVG}path") for arc in parse_path(path.get("d"))
                        if isinstance(arc, Arc)), key=lambda arc: arc.radius.real)
            centre = np.array([head.center.real, head.center.imag])
            arms = sorted(map(tuple, (np.array([line[-1] for line in lines]) - centre)
                              / (head.radius.real + 3)))
            assert all(np.allclose(line[0], centre, atol=0.01) for line in lines)
            assert np.allclose(arms, [(-1, 0), (0, -1), (0, 1), (1, 0)], atol=0.01), arms
        else:
            assert len(lines) == 1 and len(lines[0]) == 2, lines
            (x0, y0), (x1, y1) = lines[0]
            assert x0 == pytest.approx((low[0] + high[0]) / 2, abs=0.05)
            assert x1 == pytest.approx(x0, abs=1e-3)
            assert sorted((y0, y1)) == pytest.approx([low[1] - 3, high[1] + 3], abs=0.05)
    centre = ezdxf.readfile(tmp_path / "screw.dxf").modelspace().query('*[layer=="CENTER"]')
    assert len(centre) == count
