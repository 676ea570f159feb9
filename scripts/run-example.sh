#!/usr/bin/env bash
# Builds the renderer and the tool, then draws the bundled example (a
# bracket with holes and a pin through it) as a hidden-line drawing.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc 2>/dev/null || echo 2)"
drawing=build/default/bracket.svg
build/default/bin/hlr-render draw examples/bracket.obj -o "$drawing" --intersections
echo "The drawing is in $drawing"
