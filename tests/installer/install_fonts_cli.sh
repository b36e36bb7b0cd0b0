#!/bin/sh
# lumora-hotsync install-fonts through liblumprep: a fonts.reg fixture, a private
# fontconfig configuration, the usage errors, and a sync that installs what was queued.
#   install_fonts_cli.sh LUMORA_HOTSYNC WORK_DIR REAL_FONT
set -u
hotsync=$1 work=$2 real=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
rm -rf "$work" && mkdir -p "$work/win/Fonts" "$work/tmp" "$work/handheld" "$work/fc/cache"
export LUMORA_WINDOWS_DIR="$work/win" LUMORA_DRIVE_C="$work/c" TMPDIR="$work/tmp"
queue="$work/win/HotSync/Ann/Install"
queued() { ls "$queue" 2>/dev/null | tr '\n' ' '; }

expect() {  # expected-status output-pattern command...
  want=$1 pattern=$2
  shift 2
  "$hotsync" install-fonts "$@" > out.txt 2>&1
  got=$?
  if [ "$got" != "$want" ] || ! grep -q -- "$pattern" out.txt; then
    fail "install-fonts $* -> $got (wanted $want, '$pattern'):"; cat out.txt
  fi
}
cd "$work"

expect 0 "usage" --help
expect 2 "--user" --some
expect 2 "either" --user Ann
expect 2 "either" --user Ann --some --face Arial --styles 1
expect 2 "go together" --user Ann --face Arial
expect 2 "number" --user Ann --face Arial --styles bold
expect 2 "number" --user Ann --face Arial --styles -1

# Arial registered in three styles, without italic.
for f in arial arialbd arialbi; do head -c 6000 /dev/urandom > "win/Fonts/$f.ttf"; done
printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
  '[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Fonts]' \
  '"Arial (TrueType)"="arial.ttf"' '"Arial Bold (TrueType)"="arialbd.ttf"' \
  '"Arial Bold Italic (TrueType)"="arialbi.ttf"' > win/fonts.reg

expect 0 "0 file(s)" --user Ann --face Arial --styles 0x10
expect 0 "2 file(s)" --user Ann --face Arial --styles 0x0B   # italic missing: ends after bold
[ "$(queued)" = "arial.ttf.pdb arialbd.ttf.pdb " ] || fail "queued after --styles 0x0B: $(queued)"
rm -f "$queue"/*
expect 0 "3 file(s)" --user Ann --some     # stops at the missing Arial Italic
[ "$(queued)" = "arial.ttf.pdb arialbd.ttf.pdb arialbi.ttf.pdb " ] || fail "--some queued: $(queued)"
[ -z "$(ls -A tmp)" ] || fail "left in the temporary folder: $(ls -A tmp)"

"$hotsync" register > /dev/null || fail "register"
"$hotsync" sync --handheld handheld --user Ann > sync.txt 2>&1 || { fail "sync"; cat sync.txt; }
for f in arial arialbd arialbi; do
  [ -f "handheld/$f.ttf.pdb" ] || fail "$f.ttf.pdb not on the handheld: $(ls handheld)"
done
[ -z "$(queued)" ] || fail "queue not emptied: $(queued)"

# Without fonts.reg the faces come from fontconfig.
if [ -f "$real" ]; then
  rm win/fonts.reg
  mkdir -p fc/fonts && cp "$real" fc/fonts/
  printf '<?xml version="1.0"?>\n<fontconfig><dir>%s</dir><cachedir>%s</cachedir></fontconfig>\n' \
    "$work/fc/fonts" "$work/fc/cache" > fc/fonts.conf
  FONTCONFIG_FILE="$work/fc/fonts.conf" expect 0 "1 file(s)" --user Ann --face "DejaVu Sans" --styles 1
  [ "$(queued)" = "$(basename "$real").pdb " ] || fail "fontconfig face not queued: $(queued)"
fi

cd / && rm -rf "$work"
[ "$failures" = 0 ]
