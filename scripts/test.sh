#!/usr/bin/env bash
# Builds everything and runs every test: the default build, the same suite
# under AddressSanitizer and UndefinedBehaviorSanitizer, then the 64-bit
# Windows module and its suite, cross-built with MinGW-w64 and run under
# Wine (skipped, saying so, where those are not installed).
set -euo pipefail
cd "$(dirname "$0")/.."

# The Windows stage's packages come on top of the usual ones; where they
# cannot be had (no such packages for this machine), the rest still runs.
windows_packages=(g++-mingw-w64-x86-64-posix wine64 googletest)
if ! scripts/install-deps.sh "${windows_packages[@]}"; then
  echo "windows: could not install ${windows_packages[*]}" >&2
  scripts/install-deps.sh
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
  exit "$status"
fi
