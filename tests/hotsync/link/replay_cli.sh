#!/usr/bin/env bash
# Exit statuses and messages of `lumora-hotsync replay` for what it cannot accept.
set -uo pipefail
host=$1
sessions=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
expect() {  # status args...
  local want=$1; shift
  "$host" replay "$@" > "$work/out" 2>&1
  local got=$?
  [ "$got" = "$want" ] || fail "replay $* exited $got, wanted $want: $(cat "$work/out")"
}
expect 0 "$sessions/no-op-test.serial-net.json"
grep -q "^62/62 packets round-trip" "$work/out" || fail "serial summary"
# One good file does not hide a bad one.
printf '[{"type": "read", "data": "beefed030303000015b8ab21"}]' > "$work/bad-crc.json"
expect 1 "$sessions/no-op-test.net.json" "$work/bad-crc.json"
grep -q "^11/11 packets round-trip" "$work/out" || fail "summary of the good file"
printf '[{"type": "read", "data": "01ff00000016"}]' > "$work/cut.json"
expect 1 "$work/cut.json"
grep -q "handheld stream ends inside a packet" "$work/out" || fail "cut stream message"
printf '[{"type": "read"' > "$work/broken.json"
expect 1 "$work/broken.json"
grep -q "broken.json: line 1, column 17" "$work/out" || fail "JSON error position"
expect 2 "$work/missing.json"
grep -q "cannot read $work/missing.json" "$work/out" || fail "unreadable file message"
expect 2
expect 2 --bogus "$sessions/no-op-test.net.json"
expect 0 --help
echo "replay: ok"
