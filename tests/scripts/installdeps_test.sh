#!/usr/bin/env bash
# install-deps.sh on a machine where every needed package is installed (the test machine
# builds the program, so it has them): two runs in a row succeed and neither calls apt-get,
# apt or sudo, also as a user who is not root. Names provided by an installed package count as
# installed; unknown names do not.
#
#   installdeps_test.sh PATH/TO/install-deps.sh
set -euo pipefail
SCRIPT="$(realpath -- "${1:?manca install-deps.sh}")"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
failures=0
fail() { echo "FALLITO: $*" >&2; failures=$((failures + 1)); }

# Stand-ins for the tools a run must not reach: they note the call and fail.
mkdir -p "$WORK/bin"
: > "$WORK/calls"
for tool in apt-get apt sudo; do
  printf '#!/bin/sh\necho "%s $*" >> "%s/calls"\nexit 1\n' "$tool" "$WORK" > "$WORK/bin/$tool"
  chmod 755 "$WORK/bin/$tool"
done

run_check() { # LABEL [runuser args...]
  local label="$1"; shift
  if ! "$@" env PATH="$WORK/bin:$PATH" bash "$SCRIPT" > "$WORK/out" 2>&1; then
    fail "$label: uscita con errore"
    cat "$WORK/out" >&2
  fi
  if [ -s "$WORK/out" ]; then
    fail "$label: ha scritto qualcosa"
    cat "$WORK/out" >&2
  fi
}

run_check "primo avvio"
run_check "secondo avvio"

# A user who is not root: nothing missing, so no password prompt either.
if [ "$(id -u)" -eq 0 ] && id nobody > /dev/null 2>&1; then
  cp "$SCRIPT" "$WORK/install-deps.sh"
  SCRIPT="$WORK/install-deps.sh"
  : > "$WORK/out"
  chmod 755 "$WORK" "$SCRIPT"
  chmod 666 "$WORK/calls" "$WORK/out"
  run_check "utente non root" runuser -u nobody --
fi

if [ -s "$WORK/calls" ]; then
  fail "strumenti chiamati: $(tr '\n' ';' < "$WORK/calls")"
fi

# libqt6svg6-dev is only provided (by qt6-svg-dev, in the list): it counts as installed.
missing="$(PATH="$WORK/bin:$PATH" bash "$SCRIPT" --missing libqt6svg6-dev qt6-svg-dev ventorel-pacchetto-inesistente)"
if [ "$missing" != "ventorel-pacchetto-inesistente" ]; then
  fail "--missing ha dato: $(echo "$missing" | tr '\n' ' ')"
fi

if [ "$failures" -ne 0 ]; then exit 1; fi
echo "ok"
