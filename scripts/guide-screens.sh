#!/usr/bin/env bash
# Remakes the pictures of the user guide (docs/guida/*.png): runs the road-of-a-quote test
# (tests/app/tst_roadofaquote.cpp) on a throwaway demo database, on a virtual display (Xvfb)
# when there is one, else offscreen, and lets it save a picture of every step.
#
#   guide-screens.sh [FOLDER]   pictures into FOLDER (default docs/guida), old ones replaced
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${VENTOREL_BUILD_DIR:-$ROOT/build}"
OUT="$(realpath -m -- "${1:-$ROOT/docs/guida}")"

"$ROOT/scripts/install-deps.sh"
# Configured by the ordinary build; only the test and what it needs are built here.
if [ ! -f "$BUILD/build.ninja" ]; then "$ROOT/scripts/build.sh"; fi
cmake --build "$BUILD" --target tst_roadofaquote -j"$(nproc)"
TEST="$(find "$BUILD/tests" -type f -name tst_roadofaquote -perm -u+x | head -n1)"
[ -n "$TEST" ] || { echo "tst_roadofaquote non trovato in $BUILD" >&2; exit 1; }

BASE="$(mktemp -d /tmp/ventorel-guida.XXXXXX)"
trap '"$ROOT/scripts/testdb.sh" stop "$BASE" >/dev/null 2>&1 || true' EXIT
"$ROOT/scripts/testdb.sh" start "$BASE" >/dev/null

mkdir -p "$OUT"
rm -f "$OUT"/*.png
export VENTOREL_TEST_PGSOCKET="$BASE/run" VENTOREL_SOURCE_DIR="$ROOT" VENTOREL_GRAB_DIR="$OUT"
export LANG=C.UTF-8 LC_ALL=C.UTF-8 TZ=Europe/Rome
if command -v xvfb-run >/dev/null 2>&1; then
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1920x1200x24" "$TEST" -silent
else
  QT_QPA_PLATFORM=offscreen "$TEST" -silent
fi
echo "Immagini della guida in $OUT: $(ls "$OUT"/*.png | wc -l)"
