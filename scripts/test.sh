#!/usr/bin/env bash
# Builds everything and runs every test, in stages that each give the same
# answer on every run:
#   format   every C++ file as .clang-format lays it out
#   default  the whole suite
#   asan     the same suite under AddressSanitizer and UndefinedBehaviorSanitizer
#   windows  the 64-bit Windows module and its suite, cross-built with
#            MinGW-w64 and run under Wine (scripts/windows-tests.sh; skipped,
#            saying so, where those cannot be installed)
#   fuzz     each fuzz target on its checked-in inputs and a fixed number of
#            inputs from a fixed seed (fuzz/check.sh)
set -euo pipefail
cd "$(dirname "$0")/.."

# The Windows stage's packages come on top of the usual ones; where they
# cannot be had (no such packages for this machine), the rest still runs.
windows_packages=(g++-mingw-w64-x86-64-posix wine64 googletest)
# The fuzz stage: Debian's clang and its runtimes (libFuzzer, sanitizers).
fuzz_packages=(clang libclang-rt-dev)
if ! scripts/install-deps.sh "${fuzz_packages[@]}" "${windows_packages[@]}"; then
  echo "windows: could not install ${windows_packages[*]}" >&2
  scripts/install-deps.sh "${fuzz_packages[@]}"
fi
# LibreCAD prints a DXF sheet as a CAD user would (tests/tool/formats_test.py);
# where it cannot be had, that one check is skipped and says so.
if ! scripts/install-deps.sh librecad; then
  echo "librecad: could not install; LibreCAD's print of a DXF sheet is not checked" >&2
fi

echo "== format: clang-format" >&2
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  sources=$(git ls-files '*.h' '*.cpp')
else
  sources=$(find . -path ./build -prune -o \( -name '*.h' -o -name '*.cpp' \) -print)
fi
if ! echo "$sources" | xargs clang-format --dry-run --Werror; then
  echo "format: the files above are not laid out as .clang-format says (clang-format -i FILE)" >&2
  exit 1
fi

jobs=$(nproc 2>/dev/null || echo 2)
for preset in default asan; do
  echo "== $preset: configure and build" >&2
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: test" >&2
  ctest --preset "$preset" -j "$jobs"
done

scripts/windows-tests.sh

# The number of inputs per target keeps the stage at about half a minute
# on a 2-core machine; fuzzing for hours is fuzz/run.sh (README).
if ! command -v clang++ >/dev/null; then
  echo "fuzz: skipped (clang++ not installed)"
else
  echo "== fuzz: configure and build" >&2
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j "$jobs"
  for target in fuzz_picture_script fuzz_renderer_actions fuzz_mesh_readers; do
    echo "== fuzz: $target, checked-in inputs and 40000 from seed 1" >&2
    log=build/fuzz/$target.log
    if ! fuzz/check.sh "$target" 40000 >"$log" 2>&1; then
      tail -n 60 "$log" >&2
      echo "fuzz: $target failed on an input (kept in build/fuzz/artifacts/$target/)" >&2
      exit 1
    fi
    grep -E '^(Done|stat::number_of_executed_units)' "$log" >&2
  done
fi
