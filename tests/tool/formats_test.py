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
import xml.etree.ElementTree as ET

import ezdxf
import numpy as np
import pytest
from PIL import Image

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


def svg_layers(path, prefix=""):
    """Layer name -> list of (colour, points) of each <polyline>, in order."""
    root = ET.parse(path).getroot()
    layers = {}
    for layer in LAYERS:
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
        entities = doc.modelspace().query(f'LWPOLYLINE[layer=="{layer.upper()}"]')
        assert len(entities) == len(lines), layer
        for entity, (colour, points) in zip(entities, lines):
            got = [(x, y) for x, y, *_ in entity.get_points()]
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
