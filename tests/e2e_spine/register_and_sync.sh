#!/usr/bin/env bash
# register, then a sync of every kind on a fresh handheld: log lines and "TTFonts_DB" gone.
set -euo pipefail
host=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LUMORA_WINDOWS_DIR=$work/windows LUMORA_DRIVE_C=$work/c
mkdir -p "$work/handheld" "$work/sync"
printf '[Lumdex]\r\nSyncDir=%s\r\n' "$work/sync" > "$work/windows.ini"
mkdir -p "$LUMORA_WINDOWS_DIR" && mv "$work/windows.ini" "$LUMORA_WINDOWS_DIR/Lumdex.ini"

fail() { echo "FAIL: $*" >&2; exit 1; }

# First run on a fresh system, no Lumdex.ini and no sync folder: register makes the
# default one and says where; the first HotSync then finds it.
(
  export LUMORA_WINDOWS_DIR=$work/fresh/windows LUMORA_DRIVE_C=$work/fresh/c
  mkdir -p "$work/fresh/handheld"
  "$host" register > "$work/out" || fail "first register: $(cat "$work/out")"
  grep -qxF "sync folder: $LUMORA_DRIVE_C/Lumdex (created)" "$work/out" ||
    fail "first register printed: $(cat "$work/out")"
  "$host" sync --handheld "$work/fresh/handheld" --user Alice --sync-type 2 > "$work/out" 2>&1 ||
    fail "first sync: $(cat "$work/out")"
  grep -qxF "HotSync complete" "$work/out" || fail "first sync had problems: $(cat "$work/out")"
)

"$host" sync --handheld "$work/handheld" --user Alice > "$work/out" 2>&1 && fail "sync without a registered conduit succeeded"
grep -q "no conduit is registered" "$work/out" || fail "missing registration message: $(cat "$work/out")"

"$host" register > "$work/out" || fail "register: $(cat "$work/out")"
grep -q "registered" "$work/out" || fail "register printed: $(cat "$work/out")"
grep -qi "lumsync.dll" "$LUMORA_WINDOWS_DIR/conduits.ini" || fail "conduits.ini lacks the library"

# A font database queued for the user reaches the handheld and is deleted by the sync.
make_font_db() {  # name -> a minimal valid .pdb on stdout
  perl -e '
    my $name = shift; my $h = pack("a32 n n N N N N N N a4 a4 N N n", $name, 0x80, 0, 0, 0, 0, 0, 0, 0, "ttfn", "TTFt", 0, 0, 0);
    print $h, "\0\0";' "$1"
}
mkdir -p "$LUMORA_WINDOWS_DIR/HotSync/Alice/Install"
make_font_db TTFonts_DB > "$LUMORA_WINDOWS_DIR/HotSync/Alice/Install/TTFonts_DB.pdb"

for type in 0 3 2 6 1; do
  "$host" sync --handheld "$work/handheld" --user Alice --sync-type $type > "$work/out" 2>&1 \
    || fail "sync $type exited $?: $(cat "$work/out")"
  case $type in
    # A fresh handheld has no capability record: the desktop-to-handheld pass cannot run.
    0|3) grep -qF '[22] Lumora : Could not open "LumdexFormatDb"' "$work/out" \
           || fail "sync $type lacks the format database line: $(cat "$work/out")"
         ! grep -qF "completed successfully" "$work/out" || fail "sync $type claimed success"
         grep -qxF "HotSync complete: the conduit logged 1 problem line, see $LUMORA_WINDOWS_DIR/HotSync/Alice/HotSync.log" \
           "$work/out" || fail "sync $type closing line: $(cat "$work/out")" ;;
    2) grep -qF "[-1] Lumora: sync operation completed successfully." "$work/out" \
         || fail "sync 2 lacks the success line: $(cat "$work/out")"
       grep -qxF "HotSync complete" "$work/out" || fail "sync 2 closing line: $(cat "$work/out")" ;;
    6) grep -qF "[-1] LmDx configured to do nothing." "$work/out" || fail "sync 6: $(cat "$work/out")" ;;
    1) ! grep -q "^\[" "$work/out" || fail "sync 1 logged: $(cat "$work/out")" ;;
  esac
  [ ! -e "$work/handheld/TTFonts_DB.pdb" ] || fail "TTFonts_DB left after sync $type"
done
[ ! -e "$LUMORA_WINDOWS_DIR/HotSync/Alice/Install/TTFonts_DB.pdb" ] || fail "queue not emptied"
grep -q "Lumora: sync operation completed successfully." "$LUMORA_WINDOWS_DIR/HotSync/Alice/HotSync.log" \
  || fail "user log lacks the success line"
"$host" log --user Alice | grep "LmDx configured to do nothing." > /dev/null || fail "log command"

"$host" unregister > /dev/null || fail "unregister"
"$host" sync --handheld "$work/handheld" --user Alice > /dev/null 2>&1 && fail "sync after unregister succeeded"
echo "e2e spine: ok"
