#!/usr/bin/env bash
# The setup program under Wine, in a fake Palm Desktop: the current user's Core key naming
# a folder with a HotSync Manager (lumora-hotsync.exe as HotSync.exe) and the stand-in's
# DLLs. A silent install for user Tester must put the files in place, register 'LmDx',
# create the sync folder and queue a font; a HotSync through the installed conduit must
# work; installed again over that with /FACE (two faces) and /STYLES=2, it must queue the
# bold style of those faces alone; the uninstaller must leave only the sync folder, the
# settings and the user's files.
# With --no-hotsync, first a silent install without the Core key must install nothing and
# exit 2 with a line in the setup log. --no-sync leaves the HotSync out (under emulation,
# where run_i686.sh has synced with the same 32-bit conduit, it saves a process).
# Usage: setup_wine.sh [--no-hotsync] [--no-sync] SETUP_EXE WIN_BIN   (LUMORA_WINE,
#        LUMORA_WINESERVER, WINEPREFIX: the Wine to use and a prefix to reuse; default
#        wine64 and a new one)
set -euo pipefail
no_hotsync= no_sync=
while [ $# -gt 0 ]; do
  case $1 in
    --no-hotsync) no_hotsync=1 ;;
    --no-sync) no_sync=1 ;;
    *) break ;;
  esac
  shift
done
if [ "${1:-}" = "--help" ] || [ $# -ne 2 ]; then
  echo "usage: $0 [--no-hotsync] [--no-sync] SETUP_EXE WIN_BIN"
  [ "${1:-}" = "--help" ] && exit 0 || exit 2
fi
setup=$(realpath "$1")
bin=$(realpath "$2")
repo=$(cd "$(dirname "$0")/../.." && pwd)
wine=${LUMORA_WINE:-/usr/lib/wine/wine64}
wineserver=${LUMORA_WINESERVER:-/usr/lib/wine/wineserver64}
work=$(mktemp -d "${TMPDIR:-/tmp}/lumora-setup.XXXXXX")
export WINEPREFIX=${WINEPREFIX:-$work/wineprefix} WINEDEBUG=-all WINEDLLOVERRIDES=winedbg.exe=d
unset LUMORA_WINDOWS_DIR
drive_c=$WINEPREFIX/drive_c
finish() {
  "$wineserver" -w 2>/dev/null || true
  # A reused prefix gets back what the test put into it.
  rm -rf "$drive_c/Lumdex" "$drive_c/windows/HotSync/Tester" "$drive_c/windows/conduits.ini" \
    "$drive_c/windows/Fonts/"lumora-test-*.ttf
  rm -rf "$work"
}
trap finish EXIT
winpath() { printf 'Z:%s' "${1//\//\\}"; }
regpath() { winpath "$1" | sed 's/\\/\\\\/g'; }
status=0
fail() { echo "setup_wine: $*" >&2; status=1; }
t0=$(date +%s)

[ -d "$WINEPREFIX" ] || { "$wine" wineboot --init >/dev/null 2>&1; }
"$wineserver" -w
log=$(find "$drive_c/users" -maxdepth 3 -iname temp -type d | head -n 1)/lumora-desktop-setup.log
rm -f "$log"

if [ -n "$no_hotsync" ]; then
  rc=0
  "$wine" "$setup" /S "/D=C:\\LumoraTest" || rc=$?
  "$wineserver" -w
  [ "$rc" -eq 2 ] || fail "without a HotSync Manager the setup exited $rc, not 2"
  grep -q "no HotSync Manager found" "$log" 2>/dev/null || fail "no line in the setup log"
  [ ! -e "$drive_c/LumoraTest" ] || fail "without a HotSync Manager something was installed"
fi

# The fake Palm Desktop, its Core key and a font the installer library can queue. The
# registry is written while Wine is down: one Wine process fewer under emulation.
palm=$work/palm
mkdir -p "$palm" "$drive_c/windows/HotSync/Tester" "$drive_c/windows/Fonts"
cp "$bin/lumora-hotsync.exe" "$palm/HotSync.exe"
cp "$bin"/{hotsync,Sync20,HSLog20,CondMgr,InstAide}.dll "$palm/"
printf '\n[Software\\\\U.S. Robotics\\\\Pilot Desktop\\\\Core] 1765000000\n"HotSyncPath"="%s"\n"Path"="%s"\n' \
  "$(regpath "$palm/HotSync.exe")" "$(regpath "$palm")" >> "$WINEPREFIX/user.reg"
for f in arial c cb sb; do
  cp /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$drive_c/windows/Fonts/lumora-test-$f.ttf"
done
fonts='"Arial (TrueType)"="lumora-test-arial.ttf"
"Lumora Chosen (TrueType)"="lumora-test-c.ttf"
"Lumora Chosen Bold (TrueType)"="lumora-test-cb.ttf"
"Lumora Second Bold (TrueType)"="lumora-test-sb.ttf"'
printf '\n[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\Fonts] 1765000000\n%s\n' "$fonts" \
  >> "$WINEPREFIX/system.reg"

# The stand-in's DLLs forward to hotsync.dll, which Wine looks for on the PATH when the
# setup program looks up a name of theirs.
export WINEPATH=$(winpath "$palm")
rc=0
"$wine" "$setup" /S /USER=Tester "/D=C:\\LumoraTest" || rc=$?
"$wineserver" -w
[ "$rc" -eq 0 ] || fail "the setup exited $rc: $(cat "$log" 2>/dev/null)"
for f in "$palm/lumsync.dll" "$palm/hotsync.html" "$drive_c/LumoraTest/"{lumprep.dll,lumora-bitmap.exe,lumora-font.exe,README.txt,LICENCE.txt,uninstall.exe}; do
  [ -f "$f" ] || fail "not installed: $f"
done
ini=$(tr -d '\r' < "$drive_c/windows/conduits.ini" 2>/dev/null || true)
for line in '[LmDx]' 'Library=lumsync.dll' 'Directory=Lumdir' 'Title=Lumora 2004'; do
  grep -qxF "$line" <<< "$ini" || fail "conduit registry lacks $line"
done
[ -d "$drive_c/Lumdex" ] || fail "the sync folder C:\\Lumdex was not created"
queued=$( (ls "$drive_c/windows/HotSync/Tester/Install" 2>/dev/null || true) | wc -l)
[ "$queued" -gt 0 ] || fail "no font queued for Tester"

# A HotSync through the installed conduit.
if [ -z "$no_sync" ]; then
  cp -r "$repo/samples/handheld" "$work/handheld"
  rc=0
  out=$("$wine" "$palm/HotSync.exe" sync --handheld "$(winpath "$work/handheld")" --user Tester \
    --sync-type 0 | tr -d '\r') || rc=$?
  [ "$rc" -eq 0 ] && grep -q "Lumora: sync operation completed successfully." <<< "$out" ||
    fail "the HotSync through the installed conduit failed ($rc): $out"
fi

# Installed again, with chosen faces: the conduit registered anew, the bold style of each
# face queued, no other font.
queue=$drive_c/windows/HotSync/Tester/Install
rm -f "$queue"/*
rc=0
"$wine" "$setup" /S /USER=Tester "/FACE=Lumora Chosen|Lumora Second" /STYLES=2 \
  "/D=C:\\LumoraTest" || rc=$?
"$wineserver" -w
[ "$rc" -eq 0 ] || fail "the setup with /FACE exited $rc: $(cat "$log" 2>/dev/null)"
queued=$( (cd "$queue" 2>/dev/null && ls) | tr '\n' ' ')
[ "$queued" = "lumora-test-cb.ttf.pdb lumora-test-sb.ttf.pdb " ] ||
  fail "with /FACE and /STYLES=2 the queue holds: $queued"
grep -qxF 'Library=lumsync.dll' <<< "$(tr -d '\r' < "$drive_c/windows/conduits.ini")" ||
  fail "installed again, the conduit is not registered"

# The uninstaller copies itself away and runs from there: wait for every Wine process.
"$wine" "$drive_c/LumoraTest/uninstall.exe" /S || fail "the uninstaller failed"
"$wineserver" -w
for f in "$palm/lumsync.dll" "$palm/hotsync.html" "$drive_c/LumoraTest"; do
  [ ! -e "$f" ] || fail "left after uninstalling: $f"
done
grep -q '^\[LmDx\]' "$drive_c/windows/conduits.ini" 2>/dev/null && fail "'LmDx' still registered"
[ -d "$drive_c/Lumdex" ] || fail "the uninstaller removed the sync folder"
[ -d "$drive_c/windows/HotSync/Tester" ] || fail "the uninstaller removed the user's files"

echo "setup_wine: $( [ $status -eq 0 ] && echo passed || echo FAILED ) after $(( $(date +%s) - t0 )) s"
exit $status
