#!/usr/bin/env bash
# The local database instance used when the global setting SrvLoc is empty.
#
#   localdb.sh start   create on first use (schema and demo data), start, apply new migrations
#   localdb.sh stop
#   localdb.sh reset   drop the catalogs and build them again with demo data
#
# Data live in VENTOREL_DATA (default ~/.local/share/ventorel, or /var/lib/ventorel for root):
#   pg/data   the cluster          pg/run   its socket
#   home/     the program folder (VENTOREL_HOME): VentorelWin.INI, Reports, Settings
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
if [ "$(id -u)" -eq 0 ]; then DEFAULT_DATA=/var/lib/ventorel; else DEFAULT_DATA="$HOME/.local/share/ventorel"; fi
DATA="$(realpath -m -- "${VENTOREL_DATA:-$DEFAULT_DATA}")"
PGDATA_DIR="$DATA/pg/data"
SOCK="$DATA/pg/run"
HOMEDIR="$DATA/home"
INI="$HOMEDIR/VentorelWin.INI"
CATALOGS=(VentorelDB VentorelDB_DEV)
PGC="$ROOT/scripts/pgcluster.sh"

ini_get() { # key
  [ -f "$INI" ] || return 0
  sed -n "s/^$1=//p" "$INI" | tr -d '\r' | head -n1
}
ini_set() { # key value
  mkdir -p "$HOMEDIR"
  if [ ! -f "$INI" ]; then (umask 077; printf '[SETTINGS]\r\n' > "$INI"); fi
  if grep -q "^$1=" "$INI"; then
    local tmp; tmp="$(mktemp)"
    awk -v k="$1" -v v="$2" 'BEGIN{FS=OFS="="} $1==k {print k "=" v "\r"; next} {print}' "$INI" > "$tmp"
    cat "$tmp" > "$INI"; rm -f "$tmp"
  else
    printf '%s=%s\r\n' "$1" "$2" >> "$INI"
  fi
}

# The folders of the instance; as root the server's user must be able to pass through them.
prepare_dirs() {
  mkdir -p "$DATA/pg" "$HOMEDIR/Settings"
  if [ "$(id -u)" -eq 0 ]; then chmod 755 "$DATA" "$DATA/pg"; fi
}

prepare_home() {
  mkdir -p "$HOMEDIR/Settings"
  ln -sfn "$ROOT/Reports" "$HOMEDIR/Reports"
  # The program's own login: created once, its password kept in the global settings file.
  local login pw
  login="$(ini_get DbLogin)"; pw="$(ini_get DbPassword)"
  if [ -z "$login" ]; then login="ventorel"; ini_set DbLogin "$login"; fi
  if [ -z "$pw" ]; then pw="$(head -c 18 /dev/urandom | base64 | tr -dc 'A-Za-z0-9' | head -c 20)"; ini_set DbPassword "$pw"; fi
  ini_set DbLocalSocket "$SOCK"
  chmod 600 "$INI" # it holds the login's password
  "$PGC" applogin "$SOCK" "$login" "$pw"
}

db_exists() {
  [ -n "$(psql -X -h "$SOCK" -U postgres -d postgres -tAc "SELECT 1 FROM pg_database WHERE datname = '$1'")" ]
}

cmd_start() {
  prepare_dirs
  "$PGC" start "$PGDATA_DIR" "$SOCK"
  prepare_home
  local c
  for c in "${CATALOGS[@]}"; do
    if db_exists "$c"; then
      "$PGC" migrate "$SOCK" "$c"
    else
      echo "Creo il catalogo $c con i dati dimostrativi..."
      "$PGC" builddb "$SOCK" "$c" demo
    fi
  done
}

cmd_reset() {
  prepare_dirs
  "$PGC" start "$PGDATA_DIR" "$SOCK"
  prepare_home
  local c
  for c in "${CATALOGS[@]}"; do "$PGC" builddb "$SOCK" "$c" demo; done
}

case "${1:-start}" in
  start) cmd_start ;;
  stop) "$PGC" stop "$PGDATA_DIR" ;;
  reset) cmd_reset ;;
  home) echo "$HOMEDIR" ;;
  *) echo "uso: $0 start|stop|reset|home" >&2; exit 2 ;;
esac
