#!/usr/bin/env bash
# The same HotSync on copies of the sample handheld, once with the Linux build and once with
# the Windows build under Wine ($LUMORA_WINE, else wine64); the handheld and sync folders
# afterwards must be equal byte for byte. Each side registers the conduit once, and every
# sync starts from a copy of that Windows folder: a Windows process can take long to start.
# Usage: e2e_sync.sh LINUX_HOST WINDOWS_HOST [SYNC_TYPE...]
set -euo pipefail
if [ "${1:-}" = "--help" ] || [ $# -lt 2 ]; then
  echo "usage: $0 LINUX_HOST WINDOWS_HOST [SYNC_TYPE...]  (sync types default to 0-7)"
  [ "${1:-}" = "--help" ] && exit 0 || exit 2
fi
linux_host=$(realpath "$1")
windows_host=$(realpath "$2")
shift 2
types=("${@:-0}")
[ $# -eq 0 ] && types=(0 1 2 3 4 5 6 7)
repo=$(cd "$(dirname "$0")/../.." && pwd)
wine=${LUMORA_WINE:-${LUMORA_WINE64:-/usr/lib/wine/wine64}}
work=$(mktemp -d "${TMPDIR:-/tmp}/lumora-wine-e2e.XXXXXX")
wineserver=${LUMORA_WINESERVER:-/usr/lib/wine/wineserver64}
finish() {
  WINEPREFIX=$WINEPREFIX "$wineserver" -w 2>/dev/null || true
  [ -n "${KEEP:-}" ] || rm -rf "$work"
}
trap finish EXIT
export WINEPREFIX=${WINEPREFIX:-$work/wineprefix} WINEDEBUG=-all WINEDLLOVERRIDES=winedbg.exe=d
# The dates the stand-in writes into databases, the same for both runs (2025-12-06).
export LUMORA_HANDHELD_TIME=1765000000

# Wine's drive Z: is the root of the Linux file system.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# register SIDE: the conduit registered in $work/SIDE-registered.
register() {
  local dir=$work/$1-registered
  mkdir -p "$dir"
  if [ "$1" = linux ]; then
    LUMORA_WINDOWS_DIR=$dir LUMORA_DRIVE_C=$dir/c "$linux_host" register >/dev/null
  else
    LUMORA_WINDOWS_DIR=$(winpath "$dir") "$wine" "$windows_host" register >/dev/null
  fi
}

# run SIDE TYPE: one sync in $work/SIDE-TYPE.
run() {
  local side=$1 type=$2 dir=$work/$1-$2
  mkdir -p "$dir"
  cp -r "$work/$side-registered" "$dir/windows"
  cp -r "$repo/samples/handheld" "$dir/handheld"
  cp -r "$repo/samples/sync" "$dir/sync"
  if [ "$side" = linux ]; then
    printf '[Lumdex]\r\nSyncDir=%s\r\n' "$dir/sync" > "$dir/windows/Lumdex.ini"
    LUMORA_WINDOWS_DIR=$dir/windows "$linux_host" sync --handheld "$dir/handheld" --user Demo \
      --sync-type "$type" --quiet > "$dir/log.txt"
  else
    printf '[Lumdex]\r\nSyncDir=%s\r\n' "$(winpath "$dir/sync")" > "$dir/windows/Lumdex.ini"
    LUMORA_WINDOWS_DIR=$(winpath "$dir/windows") "$wine" "$windows_host" sync \
      --handheld "$(winpath "$dir/handheld")" --user Demo --sync-type "$type" --quiet \
      | tr -d '\r' > "$dir/log.txt"
  fi
}

# Equal names and bytes; both runs write the same fixed handheld time into .pdb headers.
same_folders() {
  local a=$1 b=$2 ok=0 name
  if ! diff <(cd "$a" && ls -1) <(cd "$b" && ls -1); then return 1; fi
  while IFS= read -r name; do
    if ! cmp -s "$a/$name" "$b/$name"; then
      echo "$name differs" >&2
      ok=1
    fi
  done < <(cd "$a" && ls -1)
  return $ok
}

register linux
register windows
status=0
for type in "${types[@]}"; do
  run linux "$type"
  run windows "$type"
  for folder in handheld sync; do
    if ! same_folders "$work/linux-$type/$folder" "$work/windows-$type/$folder"; then
      echo "sync type $type: the $folder folders differ" >&2
      status=1
    fi
  done
  if ! diff "$work/linux-$type/log.txt" "$work/windows-$type/log.txt"; then
    echo "sync type $type: the HotSync logs differ" >&2
    status=1
  fi
  count=$(find "$work/windows-$type" -name '*.bmp' -o -name '*.pdb' | wc -l)
  echo "sync type $type: $count .bmp and .pdb files compared"
done
exit $status
