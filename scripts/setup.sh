#!/usr/bin/env bash
# Installs the Debian packages that building and testing KINEX need, when
# they are missing.  Needs root (apt-get) only when something is missing.
set -euo pipefail

# clang and libclang-rt-14-dev (libFuzzer and the sanitizer runtimes) build
# the fuzz targets.
packages=(cmake g++ make python3 googletest libgtest-dev libopenmpi-dev openmpi-bin pkg-config libhts-dev libeigen3-dev plink1.9 plink2
  clang libclang-rt-14-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq || true
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
