"""Bad input raises ValueError, TypeError or OSError with a message that
names what was wrong, and leaves the interpreter running."""

import numpy as np
import pytest

import hlr_render
from conftest import BRACKET, run_cli

V = np.array([[0, 0, 0], [1, 0, 0], [0, 1, 0]], dtype=float)
T = np.array([[0, 1, 2]])

BAD_ARRAYS = [
    ({"vertices": V[:, :2], "triangles": T}, "vertices: expected an array of shape (n, 3), got shape (3, 2)"),
    ({"vertices": V.astype(str), "triangles": T}, "vertices: expected real numbers"),
    ({"vertices": [[0, 0, 0], [1, 0]], "triangles": T}, "vertices: cannot be read as an array"),
    ({"vertices": np.where(np.eye(3, dtype=bool), np.nan, V), "triangles": T}, "vertices[0, 0] is nan"),
    ({"vertices": V, "triangles": T.astype(float)}, "triangles: expected integer indices, got float64"),
    ({"vertices": V, "triangles": T[:, :2]}, "triangles: expected an array of shape (m, 3), got shape (1, 2)"),
    ({"vertices": V, "triangles": [[0, 1, 3]]}, "triangles[0, 2] is 3, out of range for 3 vertices"),
    ({"vertices": V, "triangles": [[0, -1, 2]]}, "triangles[0, 1] is -1, out of range"),
    ({"vertices": V, "triangles": np.array([[0, 1, 2**40]], dtype=np.uint64)}, "is 1099511627776, out of range"),
    ({"vertices": V, "lines": [[0, 1, 2]]}, "lines: expected an array of shape (k, 2)"),
    ({"vertices": V, "lines": [[0, 5]]}, "lines[0, 1] is 5, out of range for 3 vertices"),
    ({"vertices": V, "triangles": [[0, 0, 1]]}, "needs at least one triangle or line segment"),
    ({"vertices": V}, "needs at least one triangle or line segment"),
    ({"vertices": V, "triangles": T, "color": "purple"}, "color: expected a colour"),
    ({"vertices": V, "triangles": T, "color": (255, 0, 300)}, "color: expected a colour"),
]


@pytest.mark.parametrize("arrays, message", BAD_ARRAYS, ids=[m for _, m in BAD_ARRAYS])
def test_bad_arrays_raise_value_error(arrays, message):
    with pytest.raises(ValueError) as raised:
        hlr_render.draw(**arrays)
    assert message in str(raised.value)


# Each option's faults, one per kind of check: Python's ValueError says what
# hlr-render draw says after "hlr-render draw: ", word for word.
BAD_OPTIONS = [
    {"view": "sideways"}, {"view": (30, float("nan"))}, {"size": (0, 100)}, {"size": "10x10"},
    {"perspective": 180.0}, {"edges": "some"}, {"crease": 200}, {"hidden_color": "purple"},
    {"hidden_color": (255, 0, 300)}, {"stroke": 0.0}, {"wzero": float("inf")},
    {"jobs": 100000}, {"jobs": -1}, {"halo": "wide"}, {"dpi": 0},
    {"background": "blue"}, {"page": "A5"}, {"scale": "1:0"}, {"views": ["front", "front"]},
    {"views": "front,top", "view": "iso"}, {"line_weights": (1, 1, 1)},
    {"views": "front,top", "trace": "out.trace"}, {"views": "top,left", "record": "out.pic"},
    {"deflection": -1}, {"angular_deflection": 0}, {"output": "drawing.txt"},
    {"output": "/nonexistent/drawing.svg"},
]


@pytest.mark.parametrize("options", BAD_OPTIONS, ids=lambda o: ",".join(o))
def test_bad_options_raise_what_the_command_line_says(tmp_path, options):
    cli = run_cli([BRACKET], {"output": tmp_path / "cli.svg", **options}, check=False)
    with pytest.raises(ValueError) as raised:
        hlr_render.draw(BRACKET, **options)
    assert cli.returncode == 2
    assert cli.stderr == f"hlr-render draw: {raised.value}\n"
    assert list(tmp_path.iterdir()) == []


def test_unknown_keywords_and_models_raise_type_errors():
    with pytest.raises(TypeError, match="unexpected keyword argument 'colour'; did you mean "
                                        "'color'"):
        hlr_render.draw(BRACKET, colour="red")
    with pytest.raises(TypeError, match="'hiden'; did you mean 'hidden'"):
        hlr_render.load(BRACKET, hiden="off")
    with pytest.raises(TypeError, match=r"a model is a Model, a Body or a model file's path .*"
                                        r"got int \(42\)"):
        hlr_render.draw(42)
    with pytest.raises(TypeError, match="size: expected W,H"):
        hlr_render.draw(BRACKET, size={"w": 1})
    with pytest.raises(FileNotFoundError, match="/nonexistent/renderer.so"):
        hlr_render.draw(BRACKET, module="/nonexistent/renderer.so")


def test_bad_files_raise_os_or_value_errors(tmp_path):
    (tmp_path / "garbage.obj").write_bytes(b"\x00\x01 not a model \xff" * 10)
    (tmp_path / "empty.obj").write_text("# nothing\n")
    cases = [
        (tmp_path / "missing.obj", FileNotFoundError, "missing.obj"),
        (tmp_path, IsADirectoryError, str(tmp_path)),
        (tmp_path / "garbage.obj", ValueError, "garbage.obj: "),
        (tmp_path / "empty.obj", ValueError, "empty.obj: "),
    ]
    for path, error, message in cases:
        for call in (hlr_render.load, hlr_render.draw):
            with pytest.raises(error) as raised:
                call(path)
            assert message in str(raised.value)


def test_save_fails_cleanly(tmp_path):
    drawing = hlr_render.draw(BRACKET)
    with pytest.raises(OSError, match="no_folder"):
        drawing.save(tmp_path / "no_folder" / "out.svg")
    with pytest.raises(ValueError, match="format"):
        drawing.save(tmp_path / "out.xyz")
    with pytest.raises(ValueError, match="--dpi: expected a number from 1 to 10000, not '0'"):
        drawing.save(tmp_path / "out.png", dpi=0)
    assert list(tmp_path.iterdir()) == []


def test_bad_scripts_raise_with_line_and_column(tmp_path):
    with pytest.raises(ValueError, match=r"<script>:2:1: unknown statement 'bogus'"):
        hlr_render.run_script("establish\nbogus 1\n")
    with pytest.raises(FileNotFoundError):
        hlr_render.run_script(tmp_path / "missing.pic")
