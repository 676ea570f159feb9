#!/usr/bin/env bash
# The test command's fuzz stage: the same tree always passes or always
# fails. One target, a fixed number of inputs from a fixed seed:
#   1. every checked-in input is run once: fuzz/regressions/TARGET/ (inputs
#      that once failed) and the seeds (fuzz/seeds/TARGET/; for
#      fuzz_picture_script also the scripts of tests/golden);
#   2. then RUNS inputs mutated from them with -seed=1.
# The corpus starts afresh each time (build/fuzz/check/TARGET), libFuzzer
# never rereads it from disk (-reload=0) and the address space is not
# randomised, so nothing carries over from an earlier run or depends on
# timing. Long fuzzing, whose corpus grows, is fuzz/run.sh.
# Usage: fuzz/check.sh TARGET RUNS
# Exit status: libFuzzer's (0 when nothing was found); a failing input is
# kept in build/fuzz/artifacts/TARGET/.
set -euo pipefail
cd "$(dirname "$0")/.."

target=${1:?usage: fuzz/check.sh TARGET RUNS}
runs=${2:?usage: fuzz/check.sh TARGET RUNS}

build=build/fuzz
program=$build/bin/$target
if [ ! -x "$program" ]; then
  echo "fuzz/check.sh: $program is not built (cmake --preset fuzz && cmake --build --preset fuzz)" >&2
  exit 1
fi

corpus=$build/check/$target
artifacts=$build/artifacts/$target
rm -rf "$corpus"
mkdir -p "$corpus" "$artifacts"
inputs=(fuzz/regressions/"$target"/* fuzz/seeds/"$target"/*)
options=()
if [ "$target" = fuzz_picture_script ]; then
  inputs+=(tests/golden/*.pic tests/golden/errors/*.pic)
  options+=(-dict=fuzz/fuzz_picture_script.dict)
fi
for input in "${inputs[@]}"; do
  case $input in *.md | */\*) continue ;; esac
  cp "$input" "$corpus/$(basename "$(dirname "$input")")_$(basename "$input")"
done

norandom=()
if setarch "$(uname -m)" -R true 2>/dev/null; then norandom=(setarch "$(uname -m)" -R); fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
exec "${norandom[@]}" "$program" -seed=1 -runs="$runs" -reload=0 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$artifacts/" "${options[@]}" "$corpus"
