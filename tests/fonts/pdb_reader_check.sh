#!/bin/sh
# Converts fonts of the edge-case sizes and a real TrueType file with both variants and has
# Palm::PDB check every database against its font.
#   pdb_reader_check.sh LUMORA_FONT CHECK_PDB_PL WORK_DIR [REAL_FONT]
set -eu
tool=$1 checker=$2 work=$3 real=${4:-}
rm -rf "$work" && mkdir -p "$work"
for size in 0 1 4095 4096 8192 10000 1052672; do
  head -c "$size" /dev/urandom > "$work/f$size.ttf"
done
fonts=$(ls "$work"/*.ttf)
if [ -n "$real" ] && [ -f "$real" ]; then
  cp "$real" "$work/" && fonts="$fonts $work/$(basename "$real")"
fi
for font in $fonts; do
  size=$(wc -c < "$font")
  name=$(basename "$font")
  for variant in conduit installer; do
    if [ "$variant" = conduit ]; then n=$((size / 4096 + 1)); else n=$(((size + 4095) / 4096)); fi
    "$tool" convert "$font" "$work/$name.$variant.pdb" --variant "$variant"
    perl "$checker" "$work/$name.$variant.pdb" "$font" "$name" "$n"
  done
done
rm -rf "$work"
