#!/usr/bin/env bash
# Runs the 32-bit Windows build as a HotSync Manager would: sets up 32-bit execution
# (setup_i386.sh), then, in one Wine prefix kept in the build folder, export_check.exe
# against the built lumsync.dll and lumprep.dll, and the HotSync of sync types 0, 2 and 3
# by the 32-bit lumora-hotsync.exe compared byte for byte with the Linux build.
# Every 32-bit process takes about 45 s to start under emulation, so there are few.
# Usage: run_i686.sh LINUX_BIN WIN_I686_BIN   (e.g. build/default/bin build/win-i686/bin)
set -euo pipefail
if [ "${1:-}" = "--help" ] || [ $# -ne 2 ]; then
  echo "usage: $0 LINUX_BIN WIN_I686_BIN"
  [ "${1:-}" = "--help" ] && exit 0 || exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
linux_bin=$(realpath "$1")
win_bin=$(realpath "$2")
for f in "$linux_bin/lumora-hotsync" "$win_bin/lumora-hotsync.exe" "$win_bin/export_check.exe" \
  "$win_bin/lumsync.dll" "$win_bin/lumprep.dll"; do
  [ -e "$f" ] || { echo "run_i686: $f is missing; build it first" >&2; exit 2; }
done

wine=$("$here/setup_i386.sh" | tail -n 1)
export WINEPREFIX=${WINEPREFIX:-$(dirname "$win_bin")/wineprefix-i686}
export WINEDEBUG=-all WINEDLLOVERRIDES=winedbg.exe=d
wineserver=/usr/lib/wine/wineserver
work=$(mktemp -d "${TMPDIR:-/tmp}/lumora-i686.XXXXXX")
finish() {
  "$wineserver" -w 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT

start=$(date +%s)
if [ ! -d "$WINEPREFIX" ]; then
  echo "run_i686: creating the Wine prefix $WINEPREFIX (once)"
  "$wine" wineboot --init >/dev/null 2>&1
  "$wineserver" -w
  echo "run_i686: prefix ready after $(( $(date +%s) - start )) s"
fi

status=0
echo "== 32-bit export checks"
mkdir -p "$work/windows"
t=$(date +%s)
(cd "$win_bin" && LUMORA_WINDOWS_DIR="Z:${work//\//\\}\\windows" "$wine" export_check.exe) |
  tr -d '\r' || status=1
echo "   ($(( $(date +%s) - t )) s)"

echo "== 32-bit HotSync of sync types 0, 2 and 3 against the Linux build"
t=$(date +%s)
LUMORA_WINE=$wine LUMORA_WINESERVER=$wineserver \
  "$here/e2e_sync.sh" "$linux_bin/lumora-hotsync" "$win_bin/lumora-hotsync.exe" 0 2 3 || status=1
echo "   ($(( $(date +%s) - t )) s)"
echo "run_i686: $( [ $status -eq 0 ] && echo passed || echo FAILED ) after $(( $(date +%s) - start )) s"
exit $status
