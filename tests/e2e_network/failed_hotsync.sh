#!/usr/bin/env bash
# HotSyncs over the network that cannot run: `serve --once` exits 1 and the reason reaches
# the handheld's own HotSync log (printed by lumora-handheld), which ends normally.
set -euo pipefail
host=$1 handheld=$2 samples=$3
# shellcheck source=../support/e2e_common.sh
source "$(dirname "$0")/../support/e2e_common.sh"

# name | register the conduit first? | lumora-handheld's options | the handheld's log line
cases=(
  "no conduit registered|no|--user Tester|HotSync failed: no conduit is registered for creator LmDx"
  "no user name|yes||HotSync failed: the handheld has no user name"
)
for c in "${cases[@]}"; do
  IFS='|' read -r name register options line <<< "$c"
  rm -rf "$work/case" "$work/serve.out"
  mkdir -p "$work/case/windows"
  cp -r "$samples/handheld" "$work/case/handheld"
  export LUMORA_WINDOWS_DIR=$work/case/windows LUMORA_DRIVE_C=$work/case/c
  [ "$register" = yes ] && "$host" register > /dev/null

  timeout 60 "$host" serve --listen 127.0.0.1:0 --once > "$work/serve.out" 2>&1 &
  server=$!
  wait_for_line "$work/serve.out" '^listening on ' || true
  address=$(sed -n 's/^listening on //p' "$work/serve.out")
  [ -n "$address" ] || fail "$name: serve did not start: $(cat "$work/serve.out")"
  # shellcheck disable=SC2086
  timeout 60 "$handheld" connect "$address" --folder "$work/case/handheld" $options \
    > "$work/handheld.out" 2>&1 || fail "$name: lumora-handheld exited $?: $(cat "$work/handheld.out")"
  status=0
  wait "$server" || status=$?
  server=
  [ "$status" = 1 ] || fail "$name: serve --once exited $status: $(cat "$work/serve.out")"
  grep -qF "$line" "$work/handheld.out" ||
    fail "$name: the handheld's log lacks '$line': $(cat "$work/handheld.out")"
done
echo "${#cases[@]} failed HotSyncs reported on both sides"
