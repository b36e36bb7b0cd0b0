#!/usr/bin/env bash
# Sync types 0 and 3 on copies of the samples, over the serial stack (once on a
# pseudo-terminal cable with `serve --serial`, once over TCP with `serve --serial-listen`)
# and once in-process: the handheld databases, the sync folder and the printed HotSync log
# entries must be the same, byte for byte. Before the TCP HotSync a peer sends line noise
# and hangs up: the server must say so and go on.
set -euo pipefail
host=$1 handheld=$2 bridge=$3 samples=$4
# shellcheck source=../support/e2e_common.sh
source "$(dirname "$0")/../support/e2e_common.sh"

export LUMORA_HANDHELD_TIME=1700000000 LUMORA_DRIVE_C=$work/c

for via in pty tcp; do
  for type in 0 3; do
    rm -rf "$work/wire" "$work/local"
    # A background job opens its output itself, later: what is waited for must be new.
    rm -f "$work/serve.out" "$work/cable.out"
    prepare wire
    prepare local
    if [ $via = pty ]; then
      "$bridge" 90 > "$work/cable.out" 2> "$work/cable.err" &
      cable=$!
      wait_for_line "$work/cable.out" . || fail "no pseudo-terminal cable"
      read -r desk hand < "$work/cable.out"
      LUMORA_WINDOWS_DIR=$work/wire/windows timeout 60 "$host" serve --serial "$desk" \
        --baud 115200 --once --sync-type "$type" > "$work/serve.out" 2>&1 &
      server=$!
      wait_for_line "$work/serve.out" '^waiting on ' || fail "serve: $(cat "$work/serve.out")"
      target=(--serial "$hand")
    else
      LUMORA_WINDOWS_DIR=$work/wire/windows timeout 60 "$host" serve --serial-listen \
        127.0.0.1:0 --once --sync-type "$type" > "$work/serve.out" 2>&1 &
      server=$!
      wait_for_line "$work/serve.out" '^listening on ' || fail "serve: $(cat "$work/serve.out")"
      address=$(sed -n 's/^listening on //p' "$work/serve.out")
      # Line noise, then the end of the connection.
      exec 3<>"/dev/tcp/${address%:*}/${address##*:}"
      printf 'ATZ\r\n\xbe\xef\xed\x03\x03\x02\x00\x04' >&3
      exec 3>&-
      wait_for_line "$work/serve.out" '^closed the connection from' ||
        fail "line noise went unnoticed: $(cat "$work/serve.out")"
      target=(--serial-net "$address")
    fi
    timeout 60 "$handheld" connect "${target[@]}" --folder "$work/wire/handheld" --user Tester \
      > "$work/handheld.out" 2>&1 || fail "$via type $type: lumora-handheld: $(cat "$work/handheld.out")"
    wait "$server" || fail "$via type $type: serve --once exited $?: $(cat "$work/serve.out")"
    server=
    if [ -n "$cable" ]; then kill "$cable"; wait "$cable" || true; cable=; fi

    LUMORA_WINDOWS_DIR=$work/local/windows "$host" sync --handheld "$work/local/handheld" \
      --user Tester --sync-type "$type" > "$work/sync.out" 2>&1 || fail "type $type: sync"

    diff -r -x .handheld.ini "$work/wire/handheld" "$work/local/handheld" ||
      fail "$via type $type: the handheld folders differ"
    diff -r "$work/wire/sync" "$work/local/sync" || fail "$via type $type: the sync folders differ"
    diff <(grep '^\[' "$work/serve.out") <(grep '^\[' "$work/sync.out") ||
      fail "$via type $type: the printed log entries differ"
    grep -q "HotSync of Tester complete" "$work/serve.out" ||
      fail "$via type $type: $(cat "$work/serve.out")"
    grep -q "^serial line: .* 0 fragments resent, 0 damaged frames dropped" "$work/handheld.out" ||
      fail "$via type $type: $(cat "$work/handheld.out")"
    echo "sync type $type over $via: same as in-process ($(grep '^serial line' "$work/handheld.out"))"
  done
done
