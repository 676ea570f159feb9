#!/usr/bin/env bash
# Installs the Debian packages the build, the tool and the tests need, and
# only those that are missing; apt-get runs only when something is.
# Usage: scripts/install-deps.sh [EXTRA_PACKAGE...]
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  libgtest-dev libgmock-dev
  libassimp-dev libcli11-dev
  libocct-data-exchange-dev libocct-modeling-algorithms-dev libocct-modeling-data-dev
  libocct-foundation-dev libocct-ocaf-dev
  libxml2-utils librsvg2-bin clang-format
  pybind11-dev python3-dev python3-numpy python3-pytest
  python3-venv python3-pip python3-setuptools python3-wheel
  libcairo2-dev poppler-utils python3-ezdxf python3-pil python3-svg.path
  libcpp-httplib-dev nlohmann-json3-dev python3-distributed
  libdxflib-dev fonts-osifont fonts-dejavu-core
  "$@"
)
# The viewer's browser test drives Debian's Chromium headless; where these
# cannot be had, everything else is still installed and that test skips.
browser_packages=(chromium chromium-driver python3-selenium)

missing_of() {
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
      echo "$package"
    fi
  done
}

mapfile -t missing < <(missing_of "${packages[@]}")
mapfile -t missing_browser < <(missing_of "${browser_packages[@]}")
if [ ${#missing[@]} -eq 0 ] && [ ${#missing_browser[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing missing packages: ${missing[*]}" >&2
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if [ ${#missing_browser[@]} -gt 0 ]; then
  echo "Installing the browser test's packages: ${missing_browser[*]}" >&2
  if ! "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing_browser[@]}"; then
    echo "could not install ${missing_browser[*]}: the viewer's browser test will skip" >&2
  fi
fi
