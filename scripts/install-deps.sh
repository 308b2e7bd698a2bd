#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing need, and any named as arguments.
set -euo pipefail
packages=(
  cmake g++ make
  libboost-program-options-dev libboost-dev libboost-random-dev
  qt6-base-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  gpsd-clients gpsd python3-ais socat libgeographiclib-dev
  fonts-liberation xvfb xauth
  netcat-openbsd lintian mandoc desktop-file-utils file
  nlohmann-json3-dev libpugixml-dev python3-jsonschema
)
packages+=("$@")  # extra packages a stage needs (the fuzz targets' clang)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
