#!/usr/bin/env bash
# Sync types 0, 2, 3 and 6 on copies of the samples, once through `serve --once` and
# `lumora-handheld connect` on 127.0.0.1 and once in-process: the handheld databases, the
# sync folder and the HotSync log entries must be the same, byte for byte.
set -euo pipefail
host=$1 handheld=$2 samples=$3
# shellcheck source=../support/e2e_common.sh
source "$(dirname "$0")/../support/e2e_common.sh"

# Same dates in both runs.
export LUMORA_HANDHELD_TIME=1700000000 LUMORA_DRIVE_C=$work/c

# The log's entries without the time each was written.
entries() { sed -E 's/^[0-9-]+ [0-9:]+  //' "$1"; }

for type in 0 2 3 6; do
  rm -rf "$work/wire" "$work/local"
  # A background job opens its output itself, later: what is waited for must be new.
  rm -f "$work/serve.out" "$work/cable.out"
  prepare wire
  prepare local

  LUMORA_WINDOWS_DIR=$work/wire/windows timeout 60 "$host" serve --listen 127.0.0.1:0 --once \
    --sync-type "$type" > "$work/serve.out" 2>&1 &
  server=$!
  for _ in $(seq 100); do
    grep -q '^listening on ' "$work/serve.out" && break
    sleep 0.1
  done
  address=$(sed -n 's/^listening on //p' "$work/serve.out")
  [ -n "$address" ] || fail "type $type: serve did not start: $(cat "$work/serve.out")"
  timeout 60 "$handheld" connect "$address" --folder "$work/wire/handheld" --user Tester \
    > "$work/handheld.out" 2>&1 || fail "type $type: lumora-handheld: $(cat "$work/handheld.out")"
  wait "$server" || fail "type $type: serve --once exited $?: $(cat "$work/serve.out")"
  server=

  LUMORA_WINDOWS_DIR=$work/local/windows "$host" sync --handheld "$work/local/handheld" \
    --user Tester --sync-type "$type" > "$work/sync.out" 2>&1 || fail "type $type: sync"

  # The simulated handheld keeps its user record beside its databases, as a device does.
  diff -r -x .handheld.ini "$work/wire/handheld" "$work/local/handheld" ||
    fail "type $type: the handheld folders differ"
  diff -r "$work/wire/sync" "$work/local/sync" || fail "type $type: the sync folders differ"
  diff <(entries "$work/wire/windows/HotSync/Tester/HotSync.log") \
    <(entries "$work/local/windows/HotSync/Tester/HotSync.log") ||
    fail "type $type: the HotSync logs differ"
  diff <(grep '^\[' "$work/serve.out") <(grep '^\[' "$work/sync.out") ||
    fail "type $type: the printed log entries differ"
  grep -q "HotSync of Tester complete" "$work/serve.out" || fail "type $type: $(cat "$work/serve.out")"
  grep -q "Lumora HotSync of Tester" "$work/handheld.out" ||
    fail "type $type: the handheld got no summary: $(cat "$work/handheld.out")"
  echo "sync type $type: same over the network as in-process"
done
