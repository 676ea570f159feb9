"""Shared by the package's suites: the project's files, the CAD parts of
Debian's occt-misc, the hlr-render command line to compare with, and small
models made with numpy."""

import contextlib
import os
import re
import select
import subprocess
import time
import urllib.error
import urllib.request
from pathlib import Path

import numpy as np
import pytest

ROOT = Path(__file__).resolve().parents[2]
BRACKET = ROOT / "examples" / "bracket.obj"
GOLDEN = ROOT / "tests" / "golden"


def hlr_render_command():
    command = os.environ.get("HLR_RENDER") or str(ROOT / "build" / "default" / "bin" / "hlr-render")
    if not os.path.exists(command):
        pytest.skip(f"no hlr-render at {command} (set HLR_RENDER)")
    return command


@pytest.fixture(scope="session")
def occt_parts():
    """The folder of occt-misc's step/, iges/ and occ/ parts, fetched into
    the cache tests/cad/parts.cpp keeps ($HLR_DATA_CACHE, default
    ~/.cache/hlr-data) when missing."""
    cache = Path(os.environ.get("HLR_DATA_CACHE") or Path.home() / ".cache" / "hlr-data")
    data = cache / "data"
    if not (data / "step" / "screw.step").exists():
        cache.mkdir(parents=True, exist_ok=True)
        fetch = ("rm -rf pkg occt-misc_*.deb && apt-get download -qq occt-misc >/dev/null 2>&1"
                 " && dpkg-deb -x occt-misc_*.deb pkg && rm -rf data"
                 " && mv pkg/usr/share/opencascade/data data && rm -rf pkg occt-misc_*.deb")
        if subprocess.run(fetch, shell=True, cwd=cache).returncode != 0:
            pytest.skip(f"could not fetch Debian's occt-misc into {cache}")
    return data


def cli_arguments(options):
    """The hlr-render draw options for the keyword arguments `options`."""
    arguments = []
    for name, value in options.items():
        flag = "--" + name.replace("_", "-")
        if value is True:
            arguments.append(flag)
        elif isinstance(value, (tuple, list)):
            arguments += [flag, ",".join(str(v) for v in value)]
        else:
            arguments += [flag, str(value)]
    return arguments


def run_cli(models, options, check=True):
    return subprocess.run([hlr_render_command(), "draw", "-q", *map(str, models),
                           *cli_arguments(options)], capture_output=True, text=True, check=check)


def draw_with_cli(models, output, options):
    run_cli(models, {"output": output, **options})
    return Path(output).read_bytes()


def undated(path):
    """The file's bytes without the creation time cairo writes into PDF and
    EPS files (to the second)."""
    data = path if isinstance(path, bytes) else Path(path).read_bytes()
    return re.sub(rb"(/CreationDate \(D:|%%CreationDate: )[^)\n]*", rb"\1", data)


class Viewer:
    """A running `hlr-render view`: its address and token, and its process."""

    def __init__(self, process, url):
        self.process = process
        self.url = url
        self.base, self.token = url.split("/?token=")

    def get(self, path, query="", token=True):
        """(status, body bytes) of GET path?query, with the token unless told."""
        parts = [query] if query else []
        if token:
            parts.append("token=" + self.token)
        address = self.base + path + ("?" + "&".join(parts) if parts else "")
        try:
            with urllib.request.urlopen(address, timeout=120) as answer:
                return answer.status, answer.read()
        except urllib.error.HTTPError as error:
            return error.code, error.read()

    def resident_kib(self):
        status = Path(f"/proc/{self.process.pid}/status").read_text()
        return int(re.search(r"VmRSS:\s+(\d+)", status).group(1))


@contextlib.contextmanager
def running_viewer(*arguments, timeout=300):
    """`hlr-render view --port 0 --no-browser ARGUMENTS` in the project's
    folder, once its first line (the address) is out; ended whatever
    happens in the block."""
    process = subprocess.Popen([hlr_render_command(), "view", "--port", "0", "--no-browser",
                                *map(str, arguments)],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                               cwd=ROOT)
    try:
        deadline = time.monotonic() + timeout
        while not select.select([process.stdout], [], [], 1)[0]:
            assert process.poll() is None, process.stderr.read()
            assert time.monotonic() < deadline, "hlr-render view printed no address"
        url = process.stdout.readline().strip()
        assert re.fullmatch(r"http://127\.0\.0\.1:\d+/\?token=[0-9a-f]{32}", url), url
        yield Viewer(process, url)
    finally:
        process.kill()
        process.wait()
        process.stdout.close()
        process.stderr.close()


def box_arrays(low, high):
    """An axis-aligned box as 8 vertices and 12 triangles."""
    corners = np.array([[x, y, z] for x in (low[0], high[0]) for y in (low[1], high[1])
                        for z in (low[2], high[2])], dtype=float)
    faces = [(0, 1, 3, 2), (4, 6, 7, 5), (0, 4, 5, 1), (2, 3, 7, 6), (0, 2, 6, 4), (1, 5, 7, 3)]
    triangles = np.array([t for a, b, c, d in faces for t in ((a, b, c), (a, c, d))])
    return corners, triangles


def write_obj(path, vertices, triangles, lines=()):
    """An OBJ file of the arrays, every index as it is (1-based)."""
    with open(path, "w") as out:
        for x, y, z in vertices:
            out.write(f"v {x!r} {y!r} {z!r}\n")
        for a, b, c in triangles:
            out.write(f"f {a + 1} {b + 1} {c + 1}\n")
        for a, b in lines:
            out.write(f"l {a + 1} {b + 1}\n")
    return path
