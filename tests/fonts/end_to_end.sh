#!/bin/sh
# lumora-font queue, then lumora-hotsync sync: the font database lands on the simulated
# handheld, and a database named "TTFonts_DB" is installed and then deleted by the conduit.
#   end_to_end.sh LUMORA_HOTSYNC LUMORA_FONT CHECK_PDB_PL WORK_DIR REAL_FONT
set -eu
hotsync=$1 tool=$2 checker=$3 work=$4 real=$5
fail() { echo "FAIL: $*"; exit 1; }
rm -rf "$work" && mkdir -p "$work/win" "$work/c" "$work/tmp" "$work/handheld" "$work/cwd"
export LUMORA_WINDOWS_DIR="$work/win" LUMORA_DRIVE_C="$work/c" TMPDIR="$work/tmp"
cp "$real" "$work/Sans.ttf"
cp "$real" "$work/TTFonts_DB"

"$hotsync" register
"$tool" queue "$work/Sans.ttf" --user Ann
(cd "$work/cwd" && "$tool" queue "$work/TTFonts_DB" --user Ann --variant conduit)
queue="$work/win/HotSync/Ann/Install"
[ -f "$queue/Sans.ttf.pdb" ] && [ -f "$queue/TTFonts_DB.pdb" ] || fail "not queued: $(ls -A "$queue")"
[ -z "$(ls -A "$work/tmp")$(ls -A "$work/cwd")" ] || fail "converter output left behind"

"$hotsync" sync --handheld "$work/handheld" --user Ann > "$work/sync.log" 2>&1 ||
  { cat "$work/sync.log"; fail "sync failed"; }
cat "$work/sync.log"
[ -z "$(ls -A "$queue")" ] || fail "queue not emptied: $(ls -A "$queue")"
[ -f "$work/handheld/Sans.ttf.pdb" ] || fail "font database missing: $(ls -A "$work/handheld")"
[ ! -e "$work/handheld/TTFonts_DB.pdb" ] || fail "TTFonts_DB survived the sync"
size=$(wc -c < "$real")
perl "$checker" "$work/handheld/Sans.ttf.pdb" "$real" Sans.ttf $(((size + 4095) / 4096))
rm -rf "$work"
