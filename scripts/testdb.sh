#!/usr/bin/env bash
# The throwaway PostgreSQL of the test run.
#   testdb.sh start BASEDIR   new cluster in BASEDIR, templates built from database/
#   testdb.sh stop BASEDIR    stop it and remove BASEDIR
# Templates: ventorel_tpl_empty (schema only) and ventorel_tpl_demo (schema and demo data).
# The program's login for tests is ventorel_test / ventorel_test.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
PGC="$ROOT/scripts/pgcluster.sh"
BASE="$(realpath -m -- "${2:?manca BASEDIR}")"
case "$1" in
  start)
    "$PGC" stop "$BASE/data" 2>/dev/null || true
    rm -rf "$BASE"
    mkdir -p "$BASE"
    chmod 755 "$BASE" # the server's user (postgres, under root) reaches data/ and run/ inside
    "$PGC" start "$BASE/data" "$BASE/run"
    "$PGC" applogin "$BASE/run" ventorel_test ventorel_test
    "$PGC" builddb "$BASE/run" ventorel_tpl_empty "" template
    "$PGC" builddb "$BASE/run" ventorel_tpl_demo demo template
    ;;
  stop)
    "$PGC" stop "$BASE/data" || true
    rm -rf "$BASE"
    ;;
  *) echo "uso: $0 start|stop BASEDIR" >&2; exit 2 ;;
esac
