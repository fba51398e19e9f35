#!/usr/bin/env bash
# Configures and builds the program, tests and benchmarks into ./build.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${VENTOREL_BUILD_DIR:-$ROOT/build}"
# ccache keeps rebuilds of several checkouts (and a second build of the same tree) short.
LAUNCHER=()
if command -v ccache >/dev/null 2>&1; then LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}" \
  "${LAUNCHER[@]}" >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
