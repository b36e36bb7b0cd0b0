#!/bin/sh
# Converting a 10 MB font (installer variant, whole conversion) beside a cp of the same
# file on the same disk.   bench/fonts/compare.sh [BUILD_DIR]
set -eu
build=${1:-build/default}
bench="$build/bin/fonts_bench"
[ -x "$bench" ] || { echo "compare.sh: build fonts_bench first ($bench missing)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c $((10 * 1024 * 1024)) /dev/urandom > "$work/font.ttf"

"$bench" --benchmark_filter=BM_InstallerConvertAndQueue --benchmark_min_time=2 \
  --benchmark_format=console 2>/dev/null | grep BM_

# The conversion commits its output with fsync; cp is timed both with and without one.
runs=20
timed() {  # label command...
  label=$1
  shift
  start=$(date +%s%N)
  i=0
  while [ $i -lt $runs ]; do
    "$@"
    rm -f "$work/copy.ttf"
    i=$((i + 1))
  done
  end=$(date +%s%N)
  ns=$(((end - start) / runs))
  echo "$label: $((ns / 1000000)).$(((ns / 10000) % 100)) ms, $((10 * 1000000000 / ns)) MiB/s (mean of $runs)"
}
copy() { cp "$work/font.ttf" "$work/copy.ttf"; }
copySync() { cp "$work/font.ttf" "$work/copy.ttf" && sync "$work/copy.ttf"; }
timed "cp of the same 10 MB file" copy
timed "cp + sync of the same 10 MB file" copySync
