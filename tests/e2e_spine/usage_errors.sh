#!/usr/bin/env bash
# Usage errors exit 2 with a message; --help exits 0 for every command.
set -uo pipefail
host=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LUMORA_WINDOWS_DIR=$work/windows
fail() { echo "FAIL: $*" >&2; exit 1; }
expect() {  # status args...
  local want=$1; shift
  "$host" "$@" > "$work/out" 2>&1
  local got=$?
  [ "$got" = "$want" ] || fail "lumora-hotsync $* exited $got, wanted $want: $(cat "$work/out")"
}
expect 2
expect 2 frobnicate
expect 0 --help
for cmd in sync register unregister configure install-fonts log replay; do expect 0 $cmd --help; done
expect 2 sync --user A
expect 2 sync --handheld "$work/none" --user A
grep -q "handheld directory not found" "$work/out" || fail "missing-directory message"
expect 2 sync --handheld "$work" --user A --bogus
grep -q "unknown option --bogus" "$work/out" || fail "unknown-option message"
expect 2 sync --handheld "$work" --user A --sync-type x
expect 2 log
echo "usage errors: ok"
