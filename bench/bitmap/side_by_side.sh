#!/usr/bin/env bash
# Times lumora-bitmap against the netpbm pnmtopalm / palmtopnm pipeline on the same
# photo-like picture and prints the ratio (netpbm time / lumora-bitmap time).
#
# usage: bench/bitmap/side_by_side.sh [BUILD_DIR] [SIDE] [RUNS]
#   BUILD_DIR  build folder holding bin/lumora-bitmap (default build/default)
#   SIDE       picture width and height in pixels (default 1024)
#   RUNS       runs of each command; the total processor time is compared (default 10)
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${1:-build/default}
side=${2:-1024}
runs=${3:-10}
tool="$build/bin/lumora-bitmap"
map=/usr/share/netpbm/palmcolor8.map

if [[ ! -x "$tool" ]]; then
  echo "side_by_side: $tool not found; build the lumora-bitmap target first" >&2
  exit 2
fi
for program in ppmforge ppmtobmp bmptopnm pnmtopalm palmtopnm pnmremap; do
  if ! command -v "$program" >/dev/null; then
    echo "side_by_side: $program is missing (Debian package netpbm)" >&2
    exit 2
  fi
done

# A memory-backed folder where there is one, so that disk flushes do not drown the work.
if [[ -d /dev/shm && -w /dev/shm ]]; then
  work=$(mktemp -d /dev/shm/side_by_side.XXXXXX)
else
  work=$(mktemp -d)
fi
trap 'rm -rf "$work"' EXIT

# Clouds: smooth gradients with fine detail, much like a photograph.
ppmforge -clouds -width "$side" -height "$side" -seed 7 2>/dev/null >"$work/photo.ppm"
ppmtobmp -bpp 24 "$work/photo.ppm" 2>/dev/null >"$work/photo.bmp"

# time_runs COMMAND: milliseconds of processor time (user + system, every process of the
# pipeline) that RUNS runs of COMMAND (a shell string) take. Processor time rather than
# elapsed time, so that other work on a shared machine does not skew the ratio.
time_runs() {
  local TIMEFORMAT='%3U %3S' t
  t=$( { time (for ((i = 0; i < runs; i++)); do
                 bash -c "$1" >/dev/null 2>&1 || exit 1
               done) ; } 2>&1 ) || { echo "side_by_side: failed: $1" >&2; exit 1; }
  awk -v t="$t" 'BEGIN { split(t, p, " "); printf "%d", (p[1] + p[2]) * 1000 }'
}

# compare LABEL OURS THEIRS
compare() {
  local ours theirs
  ours=$(time_runs "$2")
  theirs=$(time_runs "$3")
  awk -v l="$1" -v o="$ours" -v t="$theirs" -v r="$runs" 'BEGIN {
    if (o < 1) o = 1
    printf "%-34s lumora-bitmap %8.2f ms   netpbm %8.2f ms   ratio %5.1fx\n", l, o / r, t / r, t / o
  }'
}

echo "picture: ${side} x ${side}, ${runs} runs each, processor time per run"
compare "start-up only (--help / -version)" "$tool --help" "pnmtopalm -version"
big="--max-width $side --max-height $side"

# netpbm codes only 8-bit pictures, so the 16-bit pair is compared plain.
compare "encode 16-bit plain" \
  "$tool encode $work/photo.bmp $work/ours16.lum --depth 16 --compression 0 $big" \
  "bmptopnm $work/photo.bmp | pnmtopalm -depth 16 > $work/theirs16.palm"
compare "encode 8-bit coded" \
  "$tool encode $work/photo.bmp $work/ours8.lum --depth 8 --compression 1 $big" \
  "bmptopnm $work/photo.bmp | pnmremap -mapfile=$map -nofloyd | pnmtopalm -depth 8 -packbits_compression > $work/theirs8.palm"
compare "decode 16-bit plain" \
  "$tool decode $work/ours16.lum $work/back16.bmp --overwrite" \
  "palmtopnm $work/theirs16.palm | ppmtobmp -bpp 24 > $work/theirs16.bmp"
compare "decode 8-bit coded" \
  "$tool decode $work/ours8.lum $work/back8.bmp --overwrite" \
  "palmtopnm $work/theirs8.palm | ppmtobmp -bpp 24 > $work/theirs8.bmp"
