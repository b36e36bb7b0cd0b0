#!/usr/bin/env bash
# One `serve` on two network listeners and a pseudo-terminal line at once:
# 1. a network and a serial HotSync started together both complete, one after the other,
#    with the folders and log of the in-process `sync` run in the same order;
# 2. a second network handheld that connects while a HotSync runs is served after it;
# 3. SIGTERM while a HotSync waits for the handheld ends serve cleanly, and the next
#    HotSync ends as one that was never broken off (no temporary files, journal empty).
set -euo pipefail
host=$1 handheld=$2 bridge=$3 samples=$4
# shellcheck source=../support/e2e_common.sh
source "$(dirname "$0")/../support/e2e_common.sh"

export LUMORA_HANDHELD_TIME=1700000000 LUMORA_DRIVE_C=$work/c

start_serve() {  # side args...
  local side=$1; shift
  rm -f "$work/serve.out"  # opened by the background job, later: no old line to wait for
  LUMORA_WINDOWS_DIR=$work/$side/windows timeout 120 "$host" serve "$@" > "$work/serve.out" 2>&1 &
  server=$!
}

stop_serve() {
  kill -TERM "$server"
  local status=0
  wait "$server" || status=$?
  server=
  [ "$status" = 0 ] || fail "serve exited $status after SIGTERM: $(cat "$work/serve.out")"
  grep -q '^stopped$' "$work/serve.out" || fail "no 'stopped': $(cat "$work/serve.out")"
}

# In-process HotSyncs of the local side, in the order serve ran them; compares everything.
same_as_in_process() {  # type handheld:user...
  local type=$1; shift
  : > "$work/sync.out"
  for pair in "$@"; do
    LUMORA_WINDOWS_DIR=$work/local/windows "$host" sync --handheld "$work/local/${pair%%:*}" \
      --user "${pair##*:}" --sync-type "$type" >> "$work/sync.out" 2>&1 || fail "sync $pair"
    diff -r -x .handheld.ini "$work/wire/${pair%%:*}" "$work/local/${pair%%:*}" ||
      fail "the handheld folders ${pair%%:*} differ"
  done
  diff -r "$work/wire/sync" "$work/local/sync" || fail "the sync folders differ"
  diff <(grep '^\[' "$work/serve.out") <(grep '^\[' "$work/sync.out") ||
    fail "the printed log entries differ"
}

# 1. Network and serial at once.
prepare wire net ser
prepare local net ser
"$bridge" 110 > "$work/cable.out" 2> "$work/cable.err" &
cable=$!
wait_for_line "$work/cable.out" . || fail "no pseudo-terminal cable"
read -r desk hand < "$work/cable.out"
start_serve wire --listen 127.0.0.1:0 --listen 127.0.0.1:0 --serial "$desk" --sync-type 0
wait_for_line "$work/serve.out" '^waiting on ' || fail "serve: $(cat "$work/serve.out")"
[ "$(grep -c '^listening on 127.0.0.1:' "$work/serve.out")" = 2 ] ||
  fail "not two listeners: $(cat "$work/serve.out")"
second=$(sed -n 's/^listening on //p' "$work/serve.out" | sed -n 2p)
# An address in use is named once, with the reason.
status=0
"$host" serve --listen "$second" > "$work/busy.out" 2>&1 || status=$?
[ "$status" = 1 ] || fail "serve on a busy address exited $status"
[ "$(grep -o 'cannot listen on' "$work/busy.out" | wc -l)" = 1 ] ||
  fail "the error repeats itself: $(cat "$work/busy.out")"
timeout 60 "$handheld" connect "$second" --folder "$work/wire/net" --user Tester \
  > "$work/net.out" 2>&1 &
net=$!
timeout 60 "$handheld" connect --serial "$hand" --folder "$work/wire/ser" --user Other \
  > "$work/ser.out" 2>&1 &
ser=$!
wait "$net" || fail "network handheld: $(cat "$work/net.out") $(cat "$work/serve.out")"
wait "$ser" || fail "serial handheld: $(cat "$work/ser.out") $(cat "$work/serve.out")"
# The handhelds are gone once they have their EndOfSync answers; serve's lines follow.
wait_for_line "$work/serve.out" ' complete$' 2 || fail "not two HotSyncs: $(cat "$work/serve.out")"
stop_serve
kill "$cable"; wait "$cable" || true; cable=
# The order serve ran them in: the serial one names the device.
if grep '^HotSync from' "$work/serve.out" | head -1 | grep -q "$desk"; then
  same_as_in_process 0 ser:Other net:Tester
else
  same_as_in_process 0 net:Tester ser:Other
fi
echo "network and serial HotSyncs started together: both complete, same as in-process"

# 2. A second network handheld while a HotSync runs: the first one pauses after a few
# requests, so that the second surely connects during it.
rm -rf "$work/wire" "$work/local"
prepare wire first later
prepare local first later
start_serve wire --listen 127.0.0.1:0 --listen 127.0.0.1:0 --sync-type 0
wait_for_line "$work/serve.out" '^listening on ' 2 || fail "serve: $(cat "$work/serve.out")"
one=$(sed -n 's/^listening on //p' "$work/serve.out" | sed -n 1p)
two=$(sed -n 's/^listening on //p' "$work/serve.out" | sed -n 2p)
LUMORA_HANDHELD_PAUSE=5:3000 timeout 60 "$handheld" connect "$one" --folder "$work/wire/first" \
  --user Tester > "$work/first.out" 2>&1 &
first=$!
pids+=("$first")
wait_for_line "$work/serve.out" '^HotSync from' || fail "no first HotSync: $(cat "$work/serve.out")"
timeout 60 "$handheld" connect "$two" --folder "$work/wire/later" --user Other \
  > "$work/later.out" 2>&1 &
later=$!
sleep 1
[ "$(grep -c '^HotSync from' "$work/serve.out")" = 1 ] ||
  fail "the second HotSync started during the first: $(cat "$work/serve.out")"
wait "$first" || fail "first handheld: $(cat "$work/first.out")"
wait "$later" || fail "later handheld: $(cat "$work/later.out") $(cat "$work/serve.out")"
# The handhelds are gone once they have their EndOfSync answers; serve's lines follow.
wait_for_line "$work/serve.out" ' complete$' 2 || fail "not two HotSyncs: $(cat "$work/serve.out")"
stop_serve
same_as_in_process 0 first:Tester later:Other
echo "a second network handheld arriving during a HotSync: served after it"

# 3. SIGTERM in the middle of a HotSync.
rm -rf "$work/wire" "$work/local"
prepare wire hand
prepare local hand
start_serve wire --listen 127.0.0.1:0 --sync-type 0
wait_for_line "$work/serve.out" '^listening on ' || fail "serve: $(cat "$work/serve.out")"
address=$(sed -n 's/^listening on //p' "$work/serve.out")
LUMORA_HANDHELD_PAUSE=12:60000 timeout 60 "$handheld" connect "$address" \
  --folder "$work/wire/hand" --user Tester > "$work/hand.out" 2>&1 &
broken=$!
pids+=("$broken")
wait_for_line "$work/serve.out" '^HotSync from' || fail "no HotSync: $(cat "$work/serve.out")"
sleep 1
stop_serve
grep -q '^HotSync from .* failed' "$work/serve.out" || fail "not broken off: $(cat "$work/serve.out")"
kill "$broken" 2>/dev/null || true
wait "$broken" || true
if ls -A "$work/wire/sync" | grep -q '^\.'; then fail "temporary files left: $(ls -A "$work/wire/sync")"; fi
# The next HotSync ends as if the first had never started.
start_serve wire --listen 127.0.0.1:0 --sync-type 0 --once
wait_for_line "$work/serve.out" '^listening on ' || fail "serve: $(cat "$work/serve.out")"
address=$(sed -n 's/^listening on //p' "$work/serve.out")
timeout 60 "$handheld" connect "$address" --folder "$work/wire/hand" --user Tester \
  > "$work/hand.out" 2>&1 || fail "next HotSync: $(cat "$work/hand.out")"
wait "$server" || fail "serve --once: $(cat "$work/serve.out")"
server=
LUMORA_WINDOWS_DIR=$work/local/windows "$host" sync --handheld "$work/local/hand" \
  --user Tester --sync-type 0 > "$work/sync.out" 2>&1 || fail "sync"
diff -r -x .handheld.ini "$work/wire/hand" "$work/local/hand" || fail "the handheld folders differ"
diff -r "$work/wire/sync" "$work/local/sync" || fail "the sync folders differ"
journal=$work/wire/windows/HotSync/Tester/Interrupted
[ ! -d "$journal" ] || [ -z "$(ls -A "$journal")" ] || fail "the journal outlived a whole HotSync"
echo "SIGTERM in the middle of a HotSync: the next one ends as an unbroken one"
