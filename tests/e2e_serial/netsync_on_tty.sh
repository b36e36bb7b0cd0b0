#!/usr/bin/env bash
# A USB handheld on its tty speaks NetSync framing: `serve --serial` on one end of a
# pseudo-terminal cable and `lumora-handheld connect --serial --framing netsync` on the
# other, sync types 0 and 3, must leave the handheld databases, the sync folder and the
# printed HotSync log entries as the in-process `sync` does. Before the first HotSync the
# line carries noise, which the server drops with a line; before the row "3" the
# handheld's end holds bytes of an earlier HotSync, which it drops. In the row "3-hang-up" the
# handheld leaves without answering EndOfSync and the line goes (a USB handheld off the
# bus): a normal end.
set -euo pipefail
host=$1 handheld=$2 bridge=$3 samples=$4
# shellcheck source=../support/e2e_common.sh
source "$(dirname "$0")/../support/e2e_common.sh"

export LUMORA_HANDHELD_TIME=1700000000 LUMORA_DRIVE_C=$work/c

for row in 0 3 3-hang-up; do
  type=${row%%-*} hangup=
  [ "$row" = "$type" ] || hangup=1
  rm -rf "$work/wire" "$work/local"
  # A background job opens its output itself, later: what is waited for must be new.
  rm -f "$work/serve.out" "$work/cable.out"
  prepare wire
  prepare local
  "$bridge" 90 > "$work/cable.out" 2> "$work/cable.err" &
  cable=$!
  wait_for_line "$work/cable.out" . || fail "no pseudo-terminal cable"
  read -r desk hand < "$work/cable.out"
  LUMORA_WINDOWS_DIR=$work/wire/windows LUMORA_LINK_TIMEOUT_MS=3000 timeout 60 "$host" serve \
    --serial "$desk" --once --sync-type "$type" > "$work/serve.out" 2>&1 &
  server=$!
  wait_for_line "$work/serve.out" '^waiting on ' || fail "serve: $(cat "$work/serve.out")"
  if [ "$type" = 0 ]; then
    # Noise that starts no frame, and nothing after it: dropped once the time-out passes.
    exec 3<>"$hand"
    printf 'ATZ\r\n' >&3
    wait_for_line "$work/serve.out" 'start neither a serial nor a NetSync HotSync' ||
      fail "line noise went unnoticed: $(cat "$work/serve.out")"
    exec 3>&-
  fi
  if [ "$row" = 3 ]; then
    # What a desktop resent to a handheld that died waits on the handheld's end.
    exec 4<>"$desk"
    printf '\001\007\000\000\000\040\020\001' >&4
    exec 4>&-
    sleep 0.5
  fi
  LUMORA_HANDHELD_HANG_UP=$hangup timeout 60 "$handheld" connect --serial "$hand" --framing netsync \
    --folder "$work/wire/handheld" --user Tester > "$work/handheld.out" 2>&1 ||
    fail "type $type: lumora-handheld: $(cat "$work/handheld.out")"
  if [ -n "$hangup" ]; then kill "$cable"; wait "$cable" || true; cable=; fi
  wait "$server" || fail "$row: serve --once exited $?: $(cat "$work/serve.out")"
  server=
  if [ -n "$cable" ]; then kill "$cable"; wait "$cable" || true; cable=; fi

  LUMORA_WINDOWS_DIR=$work/local/windows "$host" sync --handheld "$work/local/handheld" \
    --user Tester --sync-type "$type" > "$work/sync.out" 2>&1 || fail "type $type: sync"

  diff -r -x .handheld.ini "$work/wire/handheld" "$work/local/handheld" ||
    fail "type $type: the handheld folders differ"
  diff -r "$work/wire/sync" "$work/local/sync" || fail "type $type: the sync folders differ"
  diff <(grep '^\[' "$work/serve.out") <(grep '^\[' "$work/sync.out") ||
    fail "type $type: the printed log entries differ"
  grep -q "HotSync of Tester complete" "$work/serve.out" || fail "type $type: $(cat "$work/serve.out")"
  if grep -q '^serial line:' "$work/handheld.out"; then fail "type $type: spoke SLP"; fi
  echo "$row, NetSync framing on a pseudo-terminal: same as in-process"
done
