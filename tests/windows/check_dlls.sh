#!/usr/bin/env bash
# Checks the Windows DLLs of a build folder with objdump -p: each exports exactly its names,
# imports only system DLLs and, from the HotSync Manager's DLLs, only the names that
# hotsync/api/windows/*.def list; the stand-in's DLLs of those names export exactly them;
# and the conduit carries its resources.
# Usage: check_dlls.sh BIN_FOLDER [OBJDUMP]
set -euo pipefail
if [ "${1:-}" = "--help" ] || [ $# -lt 1 ]; then
  echo "usage: $0 BIN_FOLDER [OBJDUMP]"
  [ "${1:-}" = "--help" ] && exit 0 || exit 2
fi
bin=$1
objdump=${2:-i686-w64-mingw32-objdump}
system='^(kernel32|user32|gdi32|advapi32|shell32|comdlg32|ole32|msvcrt)\.dll$'
defs=$(cd "$(dirname "$0")/../../hotsync/api/windows" && pwd)
status=0

# "dll: name" for every name the .def files list, lower-case DLL, no argument bytes.
allowed=$(for def in "$defs"/*.def; do
  dll=$(awk '/^LIBRARY/ {print tolower($2)}' "$def")
  awk -v dll="$dll" '/^  [A-Za-z]/ {sub(/@[0-9]+$/, "", $1); print dll ": " $1}' "$def"
done | sort)

exports() {  # the export names of a DLL, sorted
  "$objdump" -p "$1" | awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && /^[ \t]*\[/ {print $NF; next} on {on=0}' | sort
}
imports() {
  "$objdump" -p "$1" | awk '/DLL Name:/ {print tolower($3)}' | sort -u
}
named_imports() {  # "dll: name" for every import from a DLL that is not a system DLL
  "$objdump" -p "$1" | awk -v sys="$system" '
    /DLL Name:/ {dll = tolower($3); keep = dll !~ sys; next}
    keep && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ {print dll ": " $3}' | sort
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
  local stray
  stray=$(comm -23 <(named_imports "$dll") <(echo "$allowed"))
  if [ -n "$stray" ]; then
    echo "$dll: imports what is neither a system DLL nor in hotsync/api/windows/*.def:" >&2
    echo "$stray" >&2
    status=1
  fi
  echo "$dll: $(echo "$actual" | wc -l) exports, imports: $(imports "$dll" | tr '\n' ' ')"
}

check lumsync.dll CfgConduit ConfigureConduit DllRegisterServer DllUnregisterServer \
  GetConduitInfo GetConduitName GetConduitVersion OpenConduit
check lumprep.dll execute queue_some_ttfs queue_ttf shorten_size
# The stand-in speaks the same interface: each of its DLLs exports what its .def lists.
for def in "$defs"/*.def; do
  name=$(awk '/^LIBRARY/ {print $2}' "$def")
  lower=$(echo "$name" | tr 'A-Z' 'a-z')
  check "$name" $(echo "$allowed" | awk -v d="$lower:" '$1 == d {print $2}')
done

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
# Every deliverable carries a version resource (type 16).
for f in lumsync.dll lumprep.dll lumora-hotsync.exe lumora-bitmap.exe lumora-font.exe; do
  if ! "$objdump" -p "$bin/$f" | grep -qE '^[0-9a-f]+   Entry: ID: 0x000010'; then
    echo "$bin/$f: no version resource" >&2
    status=1
  fi
done
exit $status
