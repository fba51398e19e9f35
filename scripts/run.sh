#!/usr/bin/env bash
# Sets everything up and runs the program on its local database instance.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
"$ROOT/scripts/install-deps.sh"
"$ROOT/scripts/build.sh"
"$ROOT/scripts/localdb.sh" start
export VENTOREL_HOME="$("$ROOT/scripts/localdb.sh" home)"
BIN="${VENTOREL_BUILD_DIR:-$ROOT/build}/app/ventorel"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Nessuno schermo grafico: avvio su uno schermo virtuale (Xvfb)."
  exec xvfb-run -a -s "-screen 0 1600x1000x24" "$BIN" "$@"
fi
exec "$BIN" "$@"
