#!/usr/bin/env bash
# Builds everything and runs every test: the default build, the same suite
# under AddressSanitizer and UndefinedBehaviorSanitizer, then the 64-bit
# Windows module and its suite, cross-built with MinGW-w64 and run under
# Wine (skipped, saying so, where those are not installed), and last a
# short run of each fuzz target (clang and libFuzzer).
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

jobs=$(nproc 2>/dev/null || echo 2)
for preset in default asan; do
  echo "== $preset: configure and build" >&2
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: test" >&2
  ctest --preset "$preset" -j "$jobs"
done

# Debian's wine64 keeps its loader and server in /usr/lib/wine.
wine=$(command -v wine64 || true)
if [ -z "$wine" ] && [ -x /usr/lib/wine/wine64 ]; then wine=/usr/lib/wine/wine64; fi
wineserver=$(command -v wineserver || true)
if [ -z "$wineserver" ] && [ -x /usr/lib/wine/wineserver64 ]; then wineserver=/usr/lib/wine/wineserver64; fi
if [ -z "$wine" ]; then
  echo "windows: skipped (wine64 not installed)"
elif ! command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  echo "windows: skipped (MinGW-w64 g++ not installed)"
else
  echo "== windows: configure and build" >&2
  cmake --preset windows >/dev/null
  cmake --build --preset windows -j "$jobs"
  echo "== windows: test (under Wine)" >&2
  status=0
  ctest --preset windows -j "$jobs" || status=$?
  # Wine's server outlives the last program by a few seconds; let it end
  # before the script does.
  if [ -n "$wineserver" ]; then
    WINEPREFIX="$PWD/build/windows/wineprefix" "$wineserver" -w || true
  fi
  [ "$status" -eq 0 ] || exit "$status"
fi

# Each fuzz target for 30 seconds (fuzz/run.sh; the README says how to run
# them for hours). A finding fails the script and keeps its input in
# build/fuzz/artifacts/.
if ! command -v clang++ >/dev/null; then
  echo "fuzz: skipped (clang++ not installed)"
else
  echo "== fuzz: configure and build" >&2
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j "$jobs"
  for target in fuzz_picture_script fuzz_renderer_actions; do
    echo "== fuzz: $target, 30 s" >&2
    log=build/fuzz/$target.log
    if ! fuzz/run.sh "$target" 30 >"$log" 2>&1; then
      tail -n 60 "$log" >&2
      echo "fuzz: $target found a failure (input in build/fuzz/artifacts/$target/)" >&2
      exit 1
    fi
    grep -E '^(Done|stat::number_of_executed_units)' "$log" >&2
  done
fi
