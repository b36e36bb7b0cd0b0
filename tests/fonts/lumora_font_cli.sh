#!/bin/sh
# Exit codes and messages of lumora-font.   lumora_font_cli.sh LUMORA_FONT WORK_DIR
set -u
tool=$1 work=$2
rm -rf "$work" && mkdir -p "$work/tmp" && cd "$work"
export TMPDIR="$work/tmp"
failures=0
expect() {  # expected-status stderr-pattern command...
  want=$1 pattern=$2
  shift 2
  "$@" > out.txt 2> err.txt
  got=$?
  if [ "$got" != "$want" ] || { [ -n "$pattern" ] && ! grep -q -- "$pattern" err.txt out.txt; }; then
    echo "FAIL: $* -> $got (wanted $want, output matching '$pattern'):"; cat out.txt err.txt
    failures=$((failures + 1))
  fi
}
head -c 5000 /dev/urandom > ok.ttf
head -c 100 /dev/urandom > abcdefghijklmnopqrstuvwxyz1234.ttf  # 34 characters
expect 0 "Usage" "$tool" --help
expect 0 "Usage" "$tool" convert --help
expect 0 "" "$tool" convert ok.ttf out.pdb
expect 0 "" "$tool" convert ok.ttf out2.pdb --variant conduit
expect 1 'File "missing.ttf" does not exists!' "$tool" convert missing.ttf out.pdb --variant conduit
expect 1 'cannot open font file "missing.ttf"' "$tool" convert missing.ttf out.pdb
expect 1 "1 to 33 characters" "$tool" convert abcdefghijklmnopqrstuvwxyz1234.ttf long.pdb
expect 0 "" "$tool" convert abcdefghijklmnopqrstuvwxyz1234.ttf long.pdb --variant conduit
expect 2 "no command" "$tool"
expect 2 "unknown command" "$tool" transmogrify
expect 2 "unknown variant" "$tool" convert ok.ttf x.pdb --variant palm
expect 2 "needs a value" "$tool" convert ok.ttf x.pdb --variant
expect 2 "convert takes" "$tool" convert ok.ttf
expect 2 "needs --user" "$tool" queue ok.ttf
expect 2 "unknown option" "$tool" queue ok.ttf --usr x
[ -f long.pdb ] && [ "$(head -c 32 long.pdb)" = "abcdefghijklmnopqrstuvwxyz12.ttf" ] || {
  echo "FAIL: conduit name of a 34-character title"; failures=$((failures + 1)); }
[ -z "$(ls -A tmp)" ] || { echo "FAIL: left in the temporary folder:"; ls -A tmp; failures=$((failures + 1)); }
cd / && rm -rf "$work"
[ "$failures" = 0 ]
