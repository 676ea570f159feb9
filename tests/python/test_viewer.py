"""hlr-render view as a user runs it, on a mesh and a CAD part together:
every address needs the run's token, and every drawing it serves is the
file hlr-render draw writes for the same options."""

import subprocess

import pytest

from conftest import BRACKET, hlr_render_command, running_viewer, undated


@pytest.fixture(scope="module")
def models(occt_parts):
    return [BRACKET, occt_parts / "step" / "screw.step"]


@pytest.fixture(scope="module")
def viewer(models):
    with running_viewer(*models) as running:
        yield running


def drawn(models, options, extension, folder):
    """What hlr-render draw writes for the query's options."""
    output = folder / ("draw" + extension)
    arguments = []
    for name, value in options:
        arguments += ["--" + name] if value == "true" else ["--" + name, value]
    subprocess.run([hlr_render_command(), "draw", "-q", *map(str, models), *arguments,
                    "-o", str(output)], check=True)
    return undated(output)


def test_every_address_needs_the_token(viewer):
    for path in ["/", "/viewer.js", "/session.json", "/drawing.svg", "/no/such/file"]:
        assert viewer.get(path, "view=front", token=False)[0] == 403
        assert viewer.get(path, "view=front&token=" + "0" * 32, token=False)[0] == 403
    assert viewer.get("/", "")[0] == 200
    assert viewer.get("/etc/passwd", "")[0] == 404


@pytest.mark.parametrize("extension, options", [
    (".svg", [("view", "front")]),
    (".svg", [("view", "30,20")]),
    (".svg", [("view", "-120.5,-40"), ("edges", "all"), ("hidden", "dotted"),
              ("intersections", "true")]),
    (".pdf", [("view", "iso"), ("hidden", "off")]),
    (".png", [("view", "10,80"), ("dpi", "48"), ("background", "transparent")]),
    (".dxf", [("view", "left"), ("intersections", "true")]),
    (".pdf", [("views", "front,top,right,iso"), ("page", "A3")]),
])
def test_a_drawing_is_the_file_draw_writes(viewer, models, tmp_path, extension, options):
    query = "&".join(f"{name}={value}" for name, value in options)
    status, body = viewer.get("/drawing" + extension, query)
    assert status == 200, body
    assert undated(body) == drawn(models, options, extension, tmp_path)


@pytest.mark.parametrize("query, option", [
    ("view=30,20&edge=all", None),
    ("view=1e999,20", "--view"),
    ("view=30", "--view"),
    ("size=2000000,1000", "--size"),
    ("hidden=dashes", "--hidden"),
    ("crease=200", "--crease"),
    ("view=front&views=top,left", "--views"),
    ("view=front&view=top", None),
    ("deflection=0.1", None),
    ("output=/tmp/x.svg", None),
    ("module=/tmp/libx.so", None),
])
def test_a_bad_request_gets_the_option_tables_message(viewer, models, query, option):
    status, body = viewer.get("/drawing.svg", query)
    assert status == 400
    message = body.decode().strip()
    if option is not None:
        # hlr-render draw refuses the same option with the same words.
        arguments = [word for pair in query.split("&") for word in
                     ("--" + pair.split("=")[0], pair.split("=", 1)[1])]
        refused = subprocess.run([hlr_render_command(), "draw", *map(str, models), *arguments,
                                  "-o", "never.svg"], capture_output=True, text=True)
        assert refused.returncode == 2
        assert refused.stderr.strip() == "hlr-render draw: " + message
        assert message.startswith(option + ": ")
    # The viewer goes on serving.
    assert viewer.get("/drawing.svg", "view=front")[0] == 200


def test_a_png_too_large_for_a_live_view_is_refused(viewer):
    status, body = viewer.get("/drawing.png", "dpi=1000")
    assert status == 400 and b"million pixels" in body
    assert viewer.get("/drawing.png", "dpi=500")[0] == 200


def test_the_cad_parts_are_drawn_at_the_size_they_were_read_for(viewer):
    status, body = viewer.get("/drawing.svg", "size=3000,3000")
    assert status == 400 and body.startswith(b"--size: the CAD parts were tessellated")
    # A mesh alone is read the same for every size.
    with running_viewer(BRACKET) as mesh_viewer:
        assert mesh_viewer.get("/drawing.svg", "size=3000,3000")[0] == 200


def test_a_drawing_past_the_time_limit_is_stopped():
    with running_viewer(BRACKET, "--time-limit", "1e-6") as hurried:
        for _ in range(2):
            status, body = hurried.get("/drawing.svg", "views=front,top,right,iso")
            assert status == 503 and b"(--time-limit) and was stopped" in body


def test_a_port_in_use_is_refused(viewer):
    port = viewer.base.rsplit(":", 1)[1]
    second = subprocess.run([hlr_render_command(), "view", str(BRACKET), "--no-browser",
                             "--port", port], capture_output=True, text=True, timeout=120)
    assert second.returncode == 1 and "cannot listen on 127.0.0.1:" + port in second.stderr
