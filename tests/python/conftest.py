"""Shared by the package's suites: the project's files, the CAD parts of
Debian's occt-misc, the hlr-render command line to compare with, and small
models made with numpy."""

import os
import subprocess
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
