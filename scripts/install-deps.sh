#!/usr/bin/env bash
# Installs every Debian package the program, its tests and benchmarks need.
#
#   install-deps.sh                     install what is missing (nothing to do: no apt-get, no sudo)
#   install-deps.sh --missing [NAME...] print the missing names, one a line (default: the list below)
#
# The check reads the package database once and touches neither the network nor sudo, so a
# launch on a machine that has everything costs a fraction of a second.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git ccache python3
  qt6-base-dev qt6-base-dev-tools qt6-image-formats-plugins qt6-svg-dev
  qt6-webengine-dev
  libpq-dev postgresql-15 postgresql-contrib
  libcurl4-openssl-dev openssl
  libbenchmark-dev
  poppler-utils xvfb xauth clang-format heaptrack
  fonts-dejavu-core fonts-liberation2 libgl-dev
)

# Every name an installed package answers to: its own and the ones it provides (a virtual
# name such as libqt6svg6-dev is never installed under that name).
installed_names() {
  dpkg-query -W -f='${db:Status-Abbrev}|${Package}|${Provides}\n' 2>/dev/null | awk -F'|' '
    $1 ~ /^.i/ {
      print $2
      n = split($3, provided, ",")
      for (i = 1; i <= n; i++) {
        name = provided[i]
        sub(/^[ \t]+/, "", name)
        sub(/[ \t(:].*$/, "", name)
        if (name != "") print name
      }
    }'
}

missing_of() { # NAME...
  declare -A have=()
  local name
  while IFS= read -r name; do have["$name"]=1; done < <(installed_names)
  for name in "$@"; do
    if [ -z "${have[$name]:-}" ]; then echo "$name"; fi
  done
}

if [ "${1:-}" = "--missing" ]; then
  shift
  if [ $# -eq 0 ]; then set -- "${PACKAGES[@]}"; fi
  missing_of "$@"
  exit 0
fi

mapfile -t missing < <(missing_of "${PACKAGES[@]}")
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "Mancano i pacchetti: ${missing[*]}" >&2
    echo "Installarli come amministratore (root) e rilanciare." >&2
    exit 1
  fi
  SUDO=(sudo)
fi
echo "Installo i pacchetti mancanti: ${missing[*]}"
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
