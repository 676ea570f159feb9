#!/usr/bin/env bash
# Builds the renderer and the tool, then runs the bundled example.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc 2>/dev/null || echo 2)"
build/default/bin/hlr-render run examples/square_and_line.pic
