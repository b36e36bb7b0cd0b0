#!/usr/bin/env bash
# One HotSync of every kind the sample handheld allows, run under valgrind: no invalid
# read or write, no leak. Runs only with LUMORA_SLOW_TESTS=1.
# Usage: valgrind_sync.sh HOTSYNC SAMPLES_DIR
set -euo pipefail
if [ "${LUMORA_SLOW_TESTS:-0}" = 0 ]; then
  echo "skipped: set LUMORA_SLOW_TESTS=1"
  exit 77
fi
if ! command -v valgrind >/dev/null; then
  echo "skipped: valgrind is not installed (scripts/setup installs it)"
  exit 77
fi
hotsync=$1 samples=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LUMORA_WINDOWS_DIR=$work/windows LUMORA_DRIVE_C=$work/drive_c
mkdir -p "$LUMORA_WINDOWS_DIR" "$LUMORA_DRIVE_C"
cp -a "$samples/handheld" "$samples/sync" "$work/"
printf '[Lumdex]\r\nSyncDir=%s\r\n' "$work/sync" >"$LUMORA_WINDOWS_DIR/Lumdex.ini"
"$hotsync" register >/dev/null
for type in 0 2 3; do
  valgrind --quiet --error-exitcode=99 --leak-check=full --show-leak-kinds=definite,indirect \
    --errors-for-leak-kinds=definite,indirect \
    "$hotsync" sync --handheld "$work/handheld" --user Tester --sync-type "$type" >"$work/out" 2>&1 || {
    echo "sync type $type under valgrind failed:"; cat "$work/out"; exit 1; }
  grep -q "sync operation completed successfully" "$work/out" || {
    echo "sync type $type did not complete:"; cat "$work/out"; exit 1; }
  echo "sync type $type: clean under valgrind"
done
