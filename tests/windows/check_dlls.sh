#!/usr/bin/env bash
# Checks the Windows DLLs of a build folder with objdump -p: each exports exactly its names,
# imports only system DLLs and hotsync.dll, and the conduit carries its resources.
# Usage: check_dlls.sh BIN_FOLDER [OBJDUMP]
set -euo pipefail
if [ "${1:-}" = "--help" ] || [ $# -lt 1 ]; then
  echo "usage: $0 BIN_FOLDER [OBJDUMP]"
  [ "${1:-}" = "--help" ] && exit 0 || exit 2
fi
bin=$1
objdump=${2:-i686-w64-mingw32-objdump}
system='^(kernel32|user32|gdi32|advapi32|shell32|comdlg32|ole32|msvcrt)\.dll$'
status=0

exports() {  # the export names of a DLL, sorted
  "$objdump" -p "$1" | awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && /^[ \t]*\[/ {print $NF; next} on {on=0}' | sort
}
imports() {
  "$objdump" -p "$1" | awk '/DLL Name:/ {print tolower($3)}' | sort -u
}

check() {  # check DLL EXPECTED_EXPORTS... 
  local dll=$bin/$1; shift
  local expected actual
  expected=$(printf '%s\n' "$@" | sort)
  actual=$(exports "$dll")
  if [ "$actual" != "$expected" ]; then
    echo "$dll: exports differ:" >&2
    diff <(echo "$expected") <(echo "$actual") >&2 || true
    status=1
  fi
  while read -r lib; do
    [ -z "$lib" ] && continue
    if ! [[ $lib =~ $system ]] && [ "$lib" != hotsync.dll ]; then
      echo "$dll: imports $lib, which is neither a system DLL nor hotsync.dll" >&2
      status=1
    fi
  done < <(imports "$dll")
  echo "$dll: $(echo "$actual" | wc -l) exports, imports: $(imports "$dll" | tr '\n' ' ')"
}

check lumsync.dll CfgConduit ConfigureConduit DllRegisterServer DllUnregisterServer \
  GetConduitInfo GetConduitName GetConduitVersion OpenConduit
check lumprep.dll execute queue_some_ttfs queue_ttf shorten_size

if ! "$objdump" -h "$bin/lumsync.dll" | grep -q '\.rsrc'; then
  echo "$bin/lumsync.dll: no resource section" >&2
  status=1
fi
# The resource types at the top of the tree: bitmap (2), dialog (5), string table (6) and
# version (16).
types=$("$objdump" -p "$bin/lumsync.dll" | grep -oE '^[0-9a-f]+   Entry: ID: 0x[0-9a-f]+' |
  awk '{print $NF}' | sort | tr '\n' ' ')
if [ "$types" != "0x000002 0x000005 0x000006 0x000010 " ]; then
  echo "$bin/lumsync.dll: resource types are '$types', expected bitmap, dialog, string, version" >&2
  status=1
fi
exit $status
