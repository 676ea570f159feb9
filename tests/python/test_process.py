"""The package leaves the interpreter's process as it found it: loading a
CAD part does not tune the heap (hlr-render's main does that for itself);
tune_heap() is the one way in. In a fresh interpreter, since the first load
of a CAD part is when the CAD module is opened."""

import subprocess
import sys

# Prints how much of 100 MiB, taken from the heap in 64 KiB blocks (below
# any mmap threshold) and freed, went back to the system: nearly all of it
# with glibc's own settings, nothing on the tuned heap, which never trims.
PROBE = """
import ctypes, sys
import hlr_render
libc = ctypes.CDLL(None)
libc.sbrk.restype = libc.malloc.restype = ctypes.c_void_p
libc.free.argtypes = [ctypes.c_void_p]
def given_back():
    blocks = [libc.malloc(1 << 16) for _ in range(1600)]
    peak = libc.sbrk(0)
    for block in reversed(blocks):
        libc.free(block)
    return peak - libc.sbrk(0)
hlr_render.load(sys.argv[1])
after_load = given_back()
hlr_render.tune_heap()
print(after_load, given_back())
"""


def test_loading_a_cad_part_leaves_the_heap_alone(occt_parts):
    probe = subprocess.run([sys.executable, "-c", PROBE, str(occt_parts / "occ" / "Ball.brep")],
                           capture_output=True, text=True, check=True)
    after_load, after_tune = map(int, probe.stdout.split())
    assert after_load > 50 << 20
    assert after_tune < 1 << 20
