#!/usr/bin/env bash
# Installs the Python package from this checkout into a fresh virtual
# environment, offline, as the README says; then, from outside the
# checkout, imports it, checks that it loads the renderer module installed
# beside it, and draws the example, which must be the file hlr-render draw
# writes (when build/default holds hlr-render). A few minutes on two cores,
# nearly all of it the CMake build; not part of scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
checkout=$PWD
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

/usr/bin/python3 -m venv --system-site-packages "$work/venv"
"$work/venv/bin/pip" install --no-build-isolation --no-index --quiet "$checkout"

cd "$work"
HLR_RENDERER_MODULE='' "$work/venv/bin/python" - "$checkout" <<'PYTHON'
import os, subprocess, sys
import hlr_render

checkout = sys.argv[1]
package = os.path.dirname(hlr_render.__file__)
assert not package.startswith(checkout), f"imported {package}, not the installed package"
assert os.path.dirname(hlr_render.renderer_module()) == package, hlr_render.renderer_module()
assert os.path.exists(os.path.join(package, "py.typed")), "no py.typed beside the package"
model = os.path.join(checkout, "examples", "bracket.obj")
drawing = hlr_render.draw(model, view="iso", intersections=True)
drawing.save("python.svg")
print(f"installed in {package}: {len(drawing.visible)} visible polylines")
cli = os.path.join(checkout, "build", "default", "bin", "hlr-render")
if os.path.exists(cli):
    subprocess.run([cli, "draw", "-q", model, "-o", "cli.svg", "--view", "iso",
                    "--intersections"], check=True)
    assert open("cli.svg", "rb").read() == open("python.svg", "rb").read()
    print("the same file as hlr-render draw")
PYTHON
echo "python-install-check: passed"
