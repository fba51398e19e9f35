#!/usr/bin/env bash
# Installs every Debian package the program, its tests and benchmarks need.
# Runs apt-get only when something is missing, so a second run costs nothing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git ccache
  qt6-base-dev qt6-base-dev-tools qt6-image-formats-plugins libqt6svg6-dev
  qt6-webengine-dev
  libpq-dev postgresql-15 postgresql-contrib
  libcurl4-openssl-dev openssl
  libbenchmark-dev
  poppler-utils xvfb xauth clang-format
  fonts-dejavu-core fonts-liberation2 libgl-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installo i pacchetti mancanti: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
