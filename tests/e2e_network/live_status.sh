#!/usr/bin/env bash
# The live status of a HotSync. `sync` on a pseudo-terminal (through script(1)) rewrites one
# line and wipes it before each log line; on a pipe it writes no control bytes; --quiet
# leaves the log lines alone; the log lines are the same in each. `serve` on a pipe, with
# the handheld holding still for 6 s, writes one plain status line, then the totals.
set -euo pipefail
host=$1 handheld=$2 samples=$3
# shellcheck source=../support/e2e_common.sh
source "$(dirname "$0")/../support/e2e_common.sh"
command -v script > /dev/null || { echo "script(1) not installed: skipped"; exit 77; }

export LUMORA_HANDHELD_TIME=1700000000 LUMORA_DRIVE_C=$work/c
status='^HotSync [0-9]+:[0-9]{2}: [0-9]+ databases? read, [0-9]+ written, [0-9.]+ [KM]?i?B at '
totals='HotSync totals: 2 pictures to the desktop, 4 to the handheld, '

# The log lines of an output, whatever the terminal did around them.
log_lines() { tr '\r' '\n' < "$1" | sed 's/\x1b\[K//g' | grep '^\[' || true; }

# row: how | what the output must show (a pattern, or !pattern for what it must not)
rows=(
  "terminal|\rHotSync [0-9]+:[0-9]{2}: .*\x1b\[K|$totals|^HotSync complete"
  "pipe|!\r|!\x1b|!$status|$totals|^HotSync complete"
  "terminal --quiet|!HotSync [0-9]+:|!HotSync totals|^HotSync complete"
)
for row in "${rows[@]}"; do
  IFS='|' read -r -a parts <<< "$row"
  how=${parts[0]} side=${parts[0]// /}
  rm -rf "${work:?}/$side"
  prepare "$side"
  args=(sync --handheld "$work/$side/handheld" --user Tester --sync-type 0)
  [ "$how" = "terminal --quiet" ] && args+=(--quiet)
  if [ "$how" = pipe ]; then
    LUMORA_WINDOWS_DIR=$work/$side/windows "$host" "${args[@]}" > "$work/$side.out" 2>&1 ||
      fail "$how: sync exited $?"
  else
    LUMORA_WINDOWS_DIR=$work/$side/windows timeout 60 script -qefc "$(printf '%q ' "$host" "${args[@]}")" \
      /dev/null < /dev/null > "$work/$side.out" 2>&1 || fail "$how: sync exited $?"
  fi
  text=$(tr '\r' '\001' < "$work/$side.out")
  for want in "${parts[@]:1}"; do
    negate= pattern=$want
    if [ "${want:0:1}" = '!' ]; then negate=1 pattern=${want:1}; fi
    pattern=${pattern//\\r/$'\001'}
    pattern=${pattern//\\x1b/$'\033'}
    found=
    if grep -qE "$pattern" <<< "$text"; then found=1; fi
    [ "$found" != "$negate" ] || fail "$how: wrong about '$want': $(cat -A "$work/$side.out")"
  done
  [ -n "$(log_lines "$work/$side.out")" ] || fail "$how: no log lines"
  diff <(log_lines "$work/terminal.out") <(log_lines "$work/$side.out") ||
    fail "$how: the log lines differ from the terminal's"
  echo "sync on a $how: ok"
done

# serve on a pipe: the handheld holds still for 6 s after 12 answers.
rm -rf "$work/serve"
prepare serve
LUMORA_WINDOWS_DIR=$work/serve/windows timeout 60 "$host" serve --listen 127.0.0.1:0 --once \
  --sync-type 0 > "$work/serve.out" 2>&1 &
server=$!
wait_for_line "$work/serve.out" '^listening on ' || fail "serve did not start: $(cat "$work/serve.out")"
address=$(sed -n 's/^listening on //p' "$work/serve.out")
LUMORA_HANDHELD_PAUSE=12:6000 timeout 60 "$handheld" connect "$address" \
  --folder "$work/serve/handheld" --user Tester > "$work/handheld.out" 2>&1 ||
  fail "lumora-handheld: $(cat "$work/handheld.out")"
wait "$server" || fail "serve --once exited $?: $(cat "$work/serve.out")"
server=
[ "$(grep -cE "$status" "$work/serve.out")" = 1 ] || fail "serve: not one status line: $(cat "$work/serve.out")"
grep -A1 -E "$totals" "$work/serve.out" | grep -q '^HotSync of Tester complete$' ||
  fail "serve: no totals before the closing line: $(cat "$work/serve.out")"
diff <(log_lines "$work/terminal.out") <(log_lines "$work/serve.out") ||
  fail "serve: the log lines differ from sync's"
echo "serve on a pipe: ok"
