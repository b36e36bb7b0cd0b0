#!/usr/bin/env bash
# Kills lumora-hotsync with SIGKILL at random moments of a 200-picture sync (a fresh copy
# of a generated set each time), then checks that every database and picture left is whole
# and that the next sync finishes the work: as many pictures on each side as a sync that
# was never interrupted leaves.
# Usage: crash_safety.sh HOTSYNC MAKE_SAMPLES CHECK_FOLDERS [KILLS] [PICTURES]
set -euo pipefail
if [ "${LUMORA_SLOW_TESTS:-0}" = 0 ]; then
  echo "skipped: set LUMORA_SLOW_TESTS=1"
  exit 77
fi
hotsync=$1 make_samples=$2 check=$3 kills=${4:-20} count=${5:-200}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LUMORA_WINDOWS_DIR=$work/windows LUMORA_DRIVE_C=$work/drive_c
mkdir -p "$LUMORA_WINDOWS_DIR" "$LUMORA_DRIVE_C"
"$make_samples" bench "$work/set" "$count" >/dev/null
"$hotsync" register >/dev/null

run_sync() {  # folder-set, extra args
  printf '[Lumdex]\r\nSyncDir=%s\r\n' "$1/sync" >"$LUMORA_WINDOWS_DIR/Lumdex.ini"
  "$hotsync" sync --handheld "$1/handheld" --user Tester --sync-type 0 >"$1.log" 2>&1
}
counts() {  # pictures on the desktop, picture databases on the handheld
  "$check" "$1/handheld" "$1/sync" | tail -1 | awk '{print $1, $3}'
}

cp -a "$work/set" "$work/reference"
start=$(date +%s%N)
run_sync "$work/reference"
duration_ms=$(( ($(date +%s%N) - start) / 1000000 ))
want=$(counts "$work/reference")
echo "uninterrupted sync: ${duration_ms} ms, databases and pictures: $want"

survived=0
for i in $(seq 1 "$kills"); do
  rm -rf "$work/run" && cp -a "$work/set" "$work/run"
  delay_ms=$(( RANDOM % (duration_ms > 1 ? duration_ms : 1) ))
  printf '[Lumdex]\r\nSyncDir=%s\r\n' "$work/run/sync" >"$LUMORA_WINDOWS_DIR/Lumdex.ini"
  "$hotsync" sync --handheld "$work/run/handheld" --user Tester --sync-type 0 \
    >"$work/run.log" 2>&1 &
  pid=$!
  sleep "$(printf '%d.%03d' $((delay_ms / 1000)) $((delay_ms % 1000)))"
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  if ! after=$("$check" "$work/run/handheld" "$work/run/sync"); then
    echo "kill $i at ${delay_ms} ms: damage"; echo "$after"; exit 1
  fi
  run_sync "$work/run"
  got=$(counts "$work/run")
  if [ "$got" != "$want" ]; then
    echo "kill $i at ${delay_ms} ms: next sync left '$got', want '$want'"; exit 1
  fi
  echo "kill $i at ${delay_ms} ms: $(echo "$after" | tail -1); next sync complete"
  survived=$((survived + 1))
done
echo "crash safety: $survived of $kills kills survived"
