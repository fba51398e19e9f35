#!/usr/bin/env bash
# A private PostgreSQL cluster listening only on a Unix socket inside a folder of ours.
#
#   pgcluster.sh init    DATADIR SOCKETDIR
#   pgcluster.sh start   DATADIR SOCKETDIR
#   pgcluster.sh stop    DATADIR [immediate]               (immediate: as a crash, for tests)
#   pgcluster.sh builddb SOCKETDIR NAME [demo] [template]   create NAME from database/
#   pgcluster.sh migrate SOCKETDIR NAME                     apply missing migrations, functions
#   pgcluster.sh applogin SOCKETDIR LOGIN PASSWORD           create/alter the program's login
#
# A catalog built without "demo" holds no demo data: one administrator, ADMIN, whose password
# is his user name until his first log-on forces him to choose one (database/base/).
#
# As root the server runs as the postgres user. The superuser is "postgres", reached over the
# socket without password; the program's own login uses a password.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
DBDIR="$ROOT/database"
PGBIN="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n1)"

if [ -z "$PGBIN" ]; then
  echo "PostgreSQL non trovato in /usr/lib/postgresql: eseguire scripts/install-deps.sh" >&2
  exit 1
fi

# Paths are made absolute: the server runs from "/" as another user.
abspath() { realpath -m -- "$1"; }

as_pg() {
  if [ "$(id -u)" -eq 0 ]; then (cd / && runuser -u postgres -- "$@"); else "$@"; fi
}

psql_su() { # SOCKETDIR DB args...
  local sock="$1" db="$2"; shift 2
  PGOPTIONS="${PGOPTIONS:--c client_min_messages=warning}" \
    psql -X -q -v ON_ERROR_STOP=1 -h "$sock" -U postgres -d "$db" "$@"
}

# As root the cluster belongs to the postgres user, who must be able to reach its folders.
check_reachable() {
  local dir="$1"
  if [ "$(id -u)" -eq 0 ] && ! runuser -u postgres -- test -x "$(dirname "$dir")"; then
    echo "La cartella $(dirname "$dir") non è accessibile all'utente postgres." >&2
    exit 1
  fi
}

cmd_init() {
  local data sock
  data="$(abspath "$1")"; sock="$(abspath "$2")"
  mkdir -p "$data" "$sock"
  # Only the owner (and root) may reach the socket: the superuser logs in over it without
  # a password.
  chmod 700 "$data" "$sock"
  if [ "$(id -u)" -eq 0 ]; then
    chown postgres:postgres "$data" "$sock"
    check_reachable "$data"; check_reachable "$sock"
  fi
  if [ ! -f "$data/PG_VERSION" ]; then
    as_pg "$PGBIN/initdb" -D "$data" -U postgres -E UTF8 --locale=C.UTF-8 \
      --auth-local=trust --auth-host=reject >/dev/null
    cat > "$data/pg_hba.conf" <<HBA
local all postgres trust
local all all scram-sha-256
HBA
    cat >> "$data/postgresql.conf" <<CONF
listen_addresses = ''
unix_socket_directories = '$sock'
fsync = off
synchronous_commit = off
full_page_writes = off
max_connections = 100
shared_buffers = 256MB
CONF
  fi
}

cmd_start() {
  local data sock
  data="$(abspath "$1")"; sock="$(abspath "$2")"
  cmd_init "$data" "$sock"
  if ! as_pg "$PGBIN/pg_ctl" -D "$data" status >/dev/null 2>&1; then
    as_pg "$PGBIN/pg_ctl" -D "$data" -w -t 60 -l "$data/server.log" \
      -o "-k $sock" start >/dev/null
  fi
}

cmd_stop() {
  local data mode="${2:-fast}"
  data="$(abspath "$1")"
  if [ -f "$data/PG_VERSION" ] && as_pg "$PGBIN/pg_ctl" -D "$data" status >/dev/null 2>&1; then
    as_pg "$PGBIN/pg_ctl" -D "$data" -m "$mode" -w stop >/dev/null
  fi
}

# Roles shared by every catalog: the owner of the schema (no login) and the program's login.
ensure_roles() {
  local sock="$1"
  psql_su "$sock" postgres <<'SQL'
DO $$ BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'ventorel_owner') THEN
    CREATE ROLE ventorel_owner NOLOGIN;
  END IF;
  IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'ventorel_app') THEN
    CREATE ROLE ventorel_app NOLOGIN;
  END IF;
END $$;
SQL
}

cmd_applogin() {
  local sock="$1" login="$2" password="$3"
  ensure_roles "$sock"
  psql_su "$sock" postgres -v login="$login" -v pw="$password" <<'SQL'
SELECT format('CREATE ROLE %I LOGIN IN ROLE ventorel_app', :'login')
 WHERE NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = :'login') \gexec
SELECT format('ALTER ROLE %I WITH LOGIN NOSUPERUSER NOCREATEDB NOCREATEROLE PASSWORD %L',
              :'login', :'pw') \gexec
-- Bound parameters (passwords among them) never reach the server log, whatever logging an
-- administrator turns on; the login cannot change these settings.
SELECT format('ALTER ROLE %I SET log_parameter_max_length = 0', :'login') \gexec
SELECT format('ALTER ROLE %I SET log_parameter_max_length_on_error = 0', :'login') \gexec
SQL
}

# Applies, in order, the migrations not yet recorded, then re-creates every function and the
# grants. Migrations change tables and keep data; functions are replaced as a whole. The
# catalog remembers a checksum of the function and grant files it holds: when no migration is
# new and the files are unchanged, a start costs one query.
cmd_migrate() {
  local sock="$1" db="$2"
  local sum state
  sum="$(cat "$DBDIR"/superuser.sql "$DBDIR"/functions/*.sql "$DBDIR"/grants.sql 2>/dev/null \
    | sha256sum | cut -d' ' -f1)"
  state="$(PGOPTIONS="-c role=ventorel_owner -c client_min_messages=warning" \
    psql_su "$sock" "$db" -tA <<'SQL'
CREATE TABLE IF NOT EXISTS schema_migrations (version text PRIMARY KEY, applied_at timestamp NOT NULL DEFAULT now());
CREATE TABLE IF NOT EXISTS schema_functions (checksum text NOT NULL, applied_at timestamp NOT NULL DEFAULT now());
SELECT 'M ' || version FROM schema_migrations UNION ALL SELECT 'F ' || checksum FROM schema_functions;
SQL
)"
  local f v pending=()
  for f in $(ls "$DBDIR"/migrations/*.sql 2>/dev/null | sort); do
    v="$(basename "$f" .sql)"
    if ! grep -qxF "M $v" <<< "$state"; then pending+=("$f"); fi
  done
  if [ ${#pending[@]} -eq 0 ] && grep -qxF "F $sum" <<< "$state"; then
    return 0
  fi
  psql_su "$sock" "$db" -1 -f "$DBDIR/superuser.sql"
  # The extensions' schema is searched by the migrations (operator classes), never by the
  # functions, which name what they use from it.
  export PGOPTIONS="-c role=ventorel_owner -c client_min_messages=warning -c search_path=public,vt_ext"
  for f in "${pending[@]}"; do
    v="$(basename "$f" .sql)"
    psql_su "$sock" "$db" -1 -f "$f" -c "INSERT INTO schema_migrations(version) VALUES ('$v')"
  done
  for f in $(ls "$DBDIR"/functions/*.sql 2>/dev/null | sort); do
    psql_su "$sock" "$db" -1 -f "$f"
  done
  if [ -f "$DBDIR/grants.sql" ]; then psql_su "$sock" "$db" -1 -f "$DBDIR/grants.sql"; fi
  psql_su "$sock" "$db" -c "DELETE FROM schema_functions" \
    -c "INSERT INTO schema_functions(checksum) VALUES ('$sum')"
  unset PGOPTIONS
}

cmd_builddb() {
  local sock="$1" db="$2" demo="${3:-}" template="${4:-}"
  ensure_roles "$sock"
  psql_su "$sock" postgres -v db="$db" <<'SQL'
SELECT format('ALTER DATABASE %I WITH IS_TEMPLATE false', :'db')
 WHERE EXISTS (SELECT 1 FROM pg_database WHERE datname = :'db') \gexec
SELECT format('DROP DATABASE IF EXISTS %I WITH (FORCE)', :'db') \gexec
SELECT format('CREATE DATABASE %I OWNER ventorel_owner TEMPLATE template0 ENCODING ''UTF8''', :'db') \gexec
SQL
  psql_su "$sock" "$db" -c "ALTER SCHEMA public OWNER TO ventorel_owner" >/dev/null
  cmd_migrate "$sock" "$db"
  # Demo catalogs get the demo data (with the demo passwords); any other catalog only its
  # first administrator.
  local data="$DBDIR/base"
  if [ "$demo" = "demo" ]; then data="$DBDIR/demo"; fi
  export PGOPTIONS="-c role=ventorel_owner -c client_min_messages=warning"
  local f
  for f in $(ls "$data"/*.sql 2>/dev/null | sort); do
    psql_su "$sock" "$db" -1 -f "$f"
  done
  unset PGOPTIONS
  if [ "$template" = "template" ]; then
    psql_su "$sock" postgres -v db="$db" <<'SQL'
SELECT format('ALTER DATABASE %I WITH IS_TEMPLATE true', :'db') \gexec
SQL
  fi
}

case "${1:-}" in
  init) cmd_init "$2" "$3" ;;
  start) cmd_start "$2" "$3" ;;
  stop) cmd_stop "$2" "${3:-fast}" ;;
  builddb) cmd_builddb "$2" "$3" "${4:-}" "${5:-}" ;;
  migrate) cmd_migrate "$2" "$3" ;;
  applogin) cmd_applogin "$2" "$3" "$4" ;;
  *) echo "uso: $0 init|start|stop|builddb|migrate|applogin ..." >&2; exit 2 ;;
esac
