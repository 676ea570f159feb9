"""The package and the interpreter's process: loading a CAD part does not
tune the heap (hlr-render's main does that for itself; tune_heap() is the
one way in), and Ctrl-C stops a long load. In a fresh interpreter each,
since the first load of a CAD part is when the CAD module is opened."""

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


# Loads a part that takes minutes to tessellate (terrain.brep, one
# B-spline face of 100,000 spans, at a deflection of half a model unit)
# and is sent SIGINT, as Ctrl-C would, once the load is under way: prints
# the seconds from the signal to the KeyboardInterrupt and how many
# processes it still has (the reader must be gone).
INTERRUPTED = """
import os, signal, sys, threading, time
import hlr_render
sent = []
def interrupt():
    time.sleep(2)
    sent.append(time.monotonic())
    os.kill(os.getpid(), signal.SIGINT)
threading.Thread(target=interrupt, daemon=True).start()
try:
    hlr_render.load(sys.argv[1], deflection=0.5)
except KeyboardInterrupt:
    children = sum(len(open(f"/proc/self/task/{t}/children").read().split())
                   for t in os.listdir("/proc/self/task"))
    print(time.monotonic() - sent[0], children)
"""


def test_ctrl_c_interrupts_a_long_load(occt_parts):
    probe = subprocess.run([sys.executable, "-c", INTERRUPTED, str(occt_parts / "occ" / "terrain.brep")],
                           capture_output=True, text=True, timeout=120)
    seconds, children = probe.stdout.split()
    # Within a second on a quiet machine; the bound is for a loaded one.
    assert float(seconds) < 10
    assert int(children) == 0
