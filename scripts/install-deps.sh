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
  libcairo2-dev poppler-utils python3-ezdxf python3-pil
  nlohmann-json3-dev python3-distributed
  "$@"
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}" >&2
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
