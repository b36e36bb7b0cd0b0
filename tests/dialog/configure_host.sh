#!/usr/bin/env bash
# lumora-hotsync configure without a window: --set changes reach Lumdex.ini through the
# conduit's dialog, the chosen action reaches the user's Actions.ini, refusals change nothing.
# Usage: configure_host.sh HOST [display]  (display: run on the X display of xvfb-run, where
# --set must still work without a window and a plain run must wait in its window)
set -euo pipefail
host=$1
mode=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LUMORA_WINDOWS_DIR=$work/windows LUMORA_DRIVE_C=$work/c
unset LUMORA_DIALOG_SCRIPT
if [ "$mode" != display ]; then unset DISPLAY; fi
mkdir -p "$work/c/Lumdex" "$work/c/Pictures" "$work/host folder"
ini=$LUMORA_WINDOWS_DIR/Lumdex.ini
actions=$LUMORA_WINDOWS_DIR/HotSync/Alice/Actions.ini

fail() { echo "FAIL: $*" >&2; exit 1; }
value() {  # file section key -> value or <absent>
  awk -v s="[$2]" -v k="$3" 'BEGIN{v="<absent>"} {sub(/\r$/,"")} /^\[/{in_s=($0==s)}
    in_s && index($0, k"=")==1 {v=substr($0, length(k)+2)} END{print v}' "$1" 2>/dev/null \
    || echo "<absent>"
}
expect() {  # description actual expected
  [ "$2" = "$3" ] || fail "$1: got '$2', expected '$3'"
}
run() {  # expected-status args... ; output in $work/out
  local want=$1; shift
  set +e
  "$host" configure "$@" > "$work/out" 2>&1
  local got=$?
  set -e
  [ "$got" -eq "$want" ] || fail "configure $* exited $got, expected $want: $(cat "$work/out")"
}

# grep -q would stop reading early, and pipefail would then count the writer's SIGPIPE.
"$host" configure --help > "$work/help" || fail "--help exit status"
grep -q "usage: lumora-hotsync configure" "$work/help" || fail "--help"
run 2
run 2 --user ""
run 2 --user "$(printf 'x%.0s' {1..64})"
run 1 --user Alice  # nothing registered yet
grep -q "no conduit is registered" "$work/out" || fail "registration message: $(cat "$work/out")"
"$host" register > /dev/null

if [ "$mode" = display ]; then
  # The dialog's window waits for the user.
  "$host" configure --user Alice > "$work/out" 2>&1 &
  pid=$!
  sleep 2
  kill -0 "$pid" 2>/dev/null || fail "a plain run on the display did not wait: $(cat "$work/out")"
  kill "$pid"
  wait "$pid" || true
else
  # Without --set and without a display: the settings are shown, nothing is stored.
  run 0 --user Alice
  grep -q "no action chosen" "$work/out" || fail "plain run: $(cat "$work/out")"
  grep -q "^sync folder: *C:\\\\Lumdex$" "$work/out" || fail "plain run folder: $(cat "$work/out")"
  grep -q "no display" "$work/out" || fail "plain run did not say why: $(cat "$work/out")"
fi
[ ! -e "$ini" ] || fail "a plain run wrote Lumdex.ini"
[ ! -e "$actions" ] || fail "a plain run wrote Actions.ini"

# Bitmap options alone take effect without OK; the actions stay.
run 0 --user Alice --set depth=8 --set density=72 --set compression=0
expect depth "$(value "$ini" Lumdex AcceptedDepth)" 8
expect density "$(value "$ini" Lumdex AcceptedDensity)" 72
expect compression "$(value "$ini" Lumdex AcceptedCompression)" 0
[ ! -e "$actions" ] || fail "bitmap options wrote Actions.ini"
grep -q "16-bit no, double density no, compressed no" "$work/out" || fail "bitmaps: $(cat "$work/out")"
run 0 --user Alice --set AcceptedDepth=16 --set depth=16
expect "depth back" "$(value "$ini" Lumdex AcceptedDepth)" 16

# The photo keys have no control: written directly, on and off, under either name.
for set in "photos=1 fit=1 dither=1:1 1 1:sent yes, fitted yes, dithered yes" \
           "Photos=0 FitToDevice=1 Dither=0:0 1 0:sent no, fitted yes, dithered no"; do
  IFS=: read -r assignments want shown <<<"$set"
  args=()
  for a in $assignments; do args+=(--set "$a"); done
  run 0 --user Alice "${args[@]}"
  expect "photo keys ($assignments)" "$(value "$ini" Lumdex Photos) $(value "$ini" Lumdex FitToDevice) \
$(value "$ini" Lumdex Dither)" "$want"
  grep -q "^photos: *$shown$" "$work/out" || fail "photos line: $(cat "$work/out")"
done
[ ! -e "$actions" ] || fail "photo keys wrote Actions.ini"

# Folder and next action: OK in the dialog; scope "next only".
run 0 --user Alice --set 'folder=C:\Pictures' --set next=desktop
expect folder "$(value "$ini" Lumdex SyncDir)" 'C:\Pictures'
expect next "$(value "$actions" LmDx NextAction)" 3
expect "default untouched" "$(value "$actions" LmDx DefaultAction)" "<absent>"
grep -q "chose 3 (desktop overwrites handheld) for the next HotSync" "$work/out" \
  || fail "next: $(cat "$work/out")"

# The dialog opens on the stored actions: a run without changes keeps them.
run 0 --user Alice --set depth=16
grep -q "^next action: *3 " "$work/out" || fail "stored next not shown: $(cat "$work/out")"

# default= sets both; a host path is a folder too.
run 0 --user Alice --set default=nothing --set "SyncDir=$work/host folder"
expect "default" "$(value "$actions" LmDx DefaultAction)" 6
expect "next follows default" "$(value "$actions" LmDx NextAction)" 6
expect "host folder" "$(value "$ini" Lumdex SyncDir)" "$work/host folder"

# Refusals store nothing.
cp "$ini" "$work/ini.before"
cp "$actions" "$work/actions.before"
run 1 --user Alice --set 'folder=C:\Nowhere' --set depth=8
grep -q "does not exist" "$work/out" || fail "missing folder message: $(cat "$work/out")"
run 2 --user Alice --set depth=12
run 2 --user Alice --set colour=blue
run 2 --user Alice --set next=later
run 2 --user Alice --set photos=yes
run 2 --user Alice --set default=sync --set next=desktop
run 2 --user Alice --set "folder=C:\\$(printf 'y%.0s' {1..260})"
cmp -s "$ini" "$work/ini.before" || fail "a refused run changed Lumdex.ini"
cmp -s "$actions" "$work/actions.before" || fail "a refused run changed Actions.ini"

# A stored sync folder that has gone away keeps an action change from starting.
rm -rf "$work/host folder"
run 1 --user Alice --set next=sync
grep -q "set one with --set folder=PATH" "$work/out" || fail "vanished folder: $(cat "$work/out")"
expect "next unchanged" "$(value "$actions" LmDx NextAction)" 6

# Users are kept apart, and odd names stay inside HotSync/.
run 0 --user "../Bob" --set 'folder=C:\Lumdex' --set next=handheld
[ ! -e "$LUMORA_WINDOWS_DIR/Bob" ] || fail "a user name left HotSync/"
expect "Alice untouched" "$(value "$actions" LmDx NextAction)" 6
echo "configure: all good"
