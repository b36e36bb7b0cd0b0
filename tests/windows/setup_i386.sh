#!/usr/bin/env bash
# Makes this x86-64 machine run 32-bit Windows programs: its kernel cannot execute i386
# code, so i386 ELF executables go to Debian's qemu-user-static through binfmt_misc, and
# Debian's wine32 (i386 architecture) runs the Windows programs on top of it.
# Safe to run again: what is already in place is left as it is. Needs root (or sudo).
# The packages installed here: qemu-user-static, wine32:i386 (with its i386 dependencies).
set -euo pipefail
if [ "${1:-}" = "--help" ]; then
  echo "usage: $0   (sets up 32-bit execution; prints the 32-bit Wine loader's path)"
  exit 0
fi
[ $# -eq 0 ] || { echo "usage: $0" >&2; exit 2; }

sudo=()
if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive

# A mirror caught syncing fails one index now and then; what was fetched is still usable.
update() {
  local try
  for try in 1 2 3; do
    "${sudo[@]}" apt-get update -qq && return 0
    sleep 10
  done
  echo "setup_i386: apt-get update kept failing; installing from the indexes fetched" >&2
}

# The i386 index a mirror serves when it does not match the signed release file (a mirror
# left half-synchronised): without it, i386 libraries cannot match the amd64 ones installed
# from that suite. Taken as served, with a warning, only for indexes apt could not fetch.
take_served_i386_indexes() {
  local file uri target
  while read -r file uri; do
    target=${file/binary-amd64/binary-i386}
    target=${target%.lz4}
    uri=${uri/binary-amd64/binary-i386}
    compgen -G "${target}*" >/dev/null && continue
    echo "setup_i386: warning: taking $uri.xz as the mirror serves it (unverified)" >&2
    "${sudo[@]}" /usr/lib/apt/apt-helper download-file "$uri.xz" "$target.xz" >/dev/null
    "${sudo[@]}" xz -d "$target.xz"
  done < <(apt-get indextargets --format '$(FILENAME) $(URI)' 'Architecture: amd64' \
    'Created-By: Packages')
}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

packages=(qemu-user-static wine32:i386)
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup_i386: adding the i386 architecture"
  "${sudo[@]}" dpkg --add-architecture i386
fi
missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup_i386: installing ${missing[*]}"
  update
  if ! apt-get install -s -qq --no-install-recommends "${missing[@]}" >/dev/null 2>&1; then
    take_served_i386_indexes
  fi
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

misc=/proc/sys/fs/binfmt_misc
if [ ! -e "$misc/register" ]; then
  "${sudo[@]}" mount -t binfmt_misc binfmt_misc "$misc"
fi
# 'F' opens the interpreter now, so that it works inside Wine's and other mount views.
if [ ! -e "$misc/qemu-i386" ]; then
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  printf ':qemu-i386:M::%s:%s:/usr/bin/qemu-i386-static:F\n' "$magic" "$mask" |
    "${sudo[@]}" tee "$misc/register" >/dev/null
fi
if ! grep -q '^enabled' "$misc/qemu-i386" || ! grep -q '^flags: .*F' "$misc/qemu-i386"; then
  echo "setup_i386: $misc/qemu-i386 is not enabled with the F flag:" >&2
  cat "$misc/qemu-i386" >&2
  exit 1
fi
if [ ! -x /usr/lib/wine/wine ]; then
  echo "setup_i386: /usr/lib/wine/wine (wine32) is missing" >&2
  exit 1
fi
echo /usr/lib/wine/wine
