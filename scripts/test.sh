#!/usr/bin/env bash
# Sets everything up and runs every test. CTest starts a throwaway PostgreSQL of its own
# (see tests/CMakeLists.txt) and stops it at the end.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
"$ROOT/scripts/install-deps.sh"
"$ROOT/scripts/build.sh"
cd "${VENTOREL_BUILD_DIR:-$ROOT/build}"
ctest --output-on-failure -j2 "$@"
