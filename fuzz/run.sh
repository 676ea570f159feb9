#!/usr/bin/env bash
# Runs one fuzz target of the fuzz build for a bounded time.
# Usage: fuzz/run.sh TARGET SECONDS [LIBFUZZER_OPTION...]
#   TARGET   fuzz_picture_script, fuzz_renderer_actions or fuzz_mesh_readers
#   SECONDS  total running time (-max_total_time)
# The corpus lives in build/fuzz/corpus/TARGET and grows from run to run;
# the checked-in inputs (fuzz/regressions/TARGET, fuzz/seeds/TARGET, and
# for fuzz_picture_script the scripts of tests/golden) are copied in at
# every start, and fuzz_picture_script is given the format's words
# (fuzz_picture_script.dict). A failing input is written to
# build/fuzz/artifacts/TARGET/. The test command's stage is fuzz/check.sh.
# Exit status: libFuzzer's (0 when nothing was found).
set -euo pipefail
cd "$(dirname "$0")/.."

target=${1:?usage: fuzz/run.sh TARGET SECONDS [LIBFUZZER_OPTION...]}
seconds=${2:?usage: fuzz/run.sh TARGET SECONDS [LIBFUZZER_OPTION...]}
shift 2

build=build/fuzz
program=$build/bin/$target
if [ ! -x "$program" ]; then
  echo "fuzz/run.sh: $program is not built (cmake --preset fuzz && cmake --build --preset fuzz)" >&2
  exit 1
fi

corpus=$build/corpus/$target
artifacts=$build/artifacts/$target
mkdir -p "$corpus" "$artifacts"
options=()
seeds=(fuzz/regressions/"$target"/* fuzz/seeds/"$target"/*)
if [ "$target" = fuzz_picture_script ]; then
  seeds+=(tests/golden/*.pic tests/golden/errors/*.pic)
  options+=(-dict=fuzz/fuzz_picture_script.dict)
fi
for seed in "${seeds[@]}"; do
  case $seed in *.md | */\*) continue ;; esac
  cp "$seed" "$corpus/seed_$(basename "$seed")"
done

# A per-input limit of 10 s catches a hang (the targets bound their work
# per input far below it); leaks end the run like crashes do.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
exec "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$artifacts/" "${options[@]}" "$@" "$corpus"
