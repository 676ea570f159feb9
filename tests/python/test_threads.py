"""Threads draw different models at once and get what they get one after
the other."""

import re
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor

import hlr_render
from conftest import BRACKET, GOLDEN, box_arrays


def test_threads_draw_what_one_thread_draws():
    vertices, triangles = box_arrays((0, 0, 0), (3, 2, 1))
    jobs = [
        lambda: hlr_render.draw(BRACKET, view="iso", intersections=True)._repr_svg_(),
        lambda: hlr_render.draw(vertices=vertices, triangles=triangles, view=(10, 50),
                                size=(300, 200))._repr_svg_(),
        lambda: hlr_render.draw(BRACKET, view="front", hidden="dotted")._repr_svg_(),
        lambda: hlr_render.run_script(sorted(GOLDEN.glob("*.pic"))[0]),
    ]
    expected = [job() for job in jobs]
    with ThreadPoolExecutor(len(jobs)) as pool:
        for _ in range(3):
            assert list(pool.map(lambda job: job(), jobs)) == expected


# Loads the part once, then in two threads at once, ten times; prints
# whether every load gave the same model. In a child interpreter with a
# bound on its memory, so that a corrupted heap ends it rather than this one.
LOADS = """
import resource, sys
from concurrent.futures import ThreadPoolExecutor
import hlr_render
resource.setrlimit(resource.RLIMIT_AS, (4 << 30, 4 << 30))
def model(_=None):
    try:
        loaded = hlr_render.load(sys.argv[1], deflection=1.0)
    except Exception as error:
        return repr(error)
    return [(b.name, b.color, b.vertices.tobytes(), b.triangles.tobytes(), b.lines.tobytes())
            for b in loaded.bodies]
expected = model()
with ThreadPoolExecutor(2) as pool:
    same = all(list(pool.map(model, range(2))) == [expected] * 2 for _ in range(10))
print("same" if same else "different")
"""


def test_two_threads_reading_step_files_get_what_one_thread_gets(occt_parts, tmp_path):
    """Open CASCADE's readers share unlocked globals (its number parser's
    scratch lists among them, used for numbers of more than 15 digits):
    without the reading lock two threads got other models, a corrupted heap
    or a runaway allocation within a few rounds. The part's numbers are
    given 25 digits here, and its tessellation kept coarse so that reading
    takes most of a load."""
    text = (occt_parts / "step" / "linkrods.step").read_text()
    head, data = text.split("DATA;", 1)
    data = re.sub(r"(?<![\w.])(-?\d+\.\d+)(?![\dE.])", r"\g<1>000000000123", data)
    part = tmp_path / "linkrods.step"
    part.write_text(head + "DATA;" + data)
    child = subprocess.run([sys.executable, "-c", LOADS, str(part)], capture_output=True,
                           text=True, timeout=300)
    assert child.stdout == "same\n", child.stderr[-2000:]
