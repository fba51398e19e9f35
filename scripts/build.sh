#!/usr/bin/env bash
# Configures and builds the program, tests and benchmarks into ./build.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${VENTOREL_BUILD_DIR:-$ROOT/build}"
TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}"
# ccache keeps rebuilds of several checkouts (and a second build of the same tree) short.
LAUNCHER=""
if command -v ccache >/dev/null 2>&1; then LAUNCHER=ccache; fi

cached() { # NAME: its value in the build's CMake cache
  sed -n "s/^$1:[A-Z]*=//p" "$BUILD/CMakeCache.txt" 2>/dev/null | head -n1
}

# CMake runs once; later the build itself runs it again when a CMakeLists.txt or a folder's
# list of sources changes. Another build type or launcher configures anew.
if [ ! -f "$BUILD/build.ninja" ] || [ "$(cached CMAKE_BUILD_TYPE)" != "$TYPE" ] \
  || [ "$(cached CMAKE_CXX_COMPILER_LAUNCHER)" != "$LAUNCHER" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE="$TYPE" \
    -DCMAKE_CXX_COMPILER_LAUNCHER="$LAUNCHER" >/dev/null
fi
cmake --build "$BUILD" -j"$(nproc)"
