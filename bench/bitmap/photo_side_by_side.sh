#!/usr/bin/env bash
# A 12-megapixel JPEG to a 320 x 320 dithered 8-bit handheld bitmap, three ways in one run:
# lumora-bitmap, ImageMagick's convert and a netpbm pipeline. Prints processor time (user +
# system) and peak memory (largest resident set of any process of the command) of each,
# measured with /usr/bin/time -v, and the ratios against lumora-bitmap. Then the same
# JPEG's `lumora-bitmap preview` against encode plus the PNG write (a preview of the
# encoded picture as a .bmp file, which has nothing left to scale).
#
# usage: bench/bitmap/photo_side_by_side.sh [BUILD_DIR] [RUNS]
#   BUILD_DIR  build folder holding bin/lumora-bitmap (default build/default)
#   RUNS       runs of each command; the fastest is reported (default 3)
set -euo pipefail
cd "$(dirname "$0")/../.."

if [[ ${1:-} == --help || ${1:-} == -h ]]; then
  sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'
  exit 0
fi
build=${1:-build/default}
runs=${2:-3}
tool="$build/bin/lumora-bitmap"
map=/usr/share/netpbm/palmcolor8.map

[[ -x "$tool" ]] || { echo "photo_side_by_side: $tool not found; build lumora-bitmap" >&2; exit 2; }
[[ -x /usr/bin/time ]] || { echo "photo_side_by_side: /usr/bin/time is needed" >&2; exit 2; }
for program in ppmforge cjpeg convert jpegtopnm pamscale pnmremap pnmtopalm pnmtopng; do
  command -v "$program" >/dev/null ||
    { echo "photo_side_by_side: $program is missing (netpbm, libjpeg-turbo-progs, imagemagick)" >&2; exit 2; }
done

if [[ -d /dev/shm && -w /dev/shm ]]; then
  work=$(mktemp -d /dev/shm/photo_side_by_side.XXXXXX)
else
  work=$(mktemp -d)
fi
trap 'rm -rf "$work"' EXIT

# Clouds at 4000 x 3000: smooth gradients with fine detail, like a camera's photograph.
ppmforge -clouds -width 4000 -height 3000 -seed 7 2>/dev/null >"$work/photo.ppm"
cjpeg -quality 90 "$work/photo.ppm" >"$work/photo.jpg"
rm "$work/photo.ppm"
pnmtopng "$map" 2>/dev/null >"$work/palette.png"

# measure COMMAND: "CPU_MS PEAK_KIB" of the fastest of RUNS runs of COMMAND (a shell string).
measure() {
  local best_cpu='' best_peak='' i out cpu peak
  for ((i = 0; i < runs; i++)); do
    /usr/bin/time -v -o "$work/time" bash -c "$1" >/dev/null 2>"$work/err" ||
      { echo "photo_side_by_side: failed: $1" >&2; cat "$work/err" >&2; exit 1; }
    out=$(awk -F': ' '/User time/ { u = $2 } /System time/ { s = $2 }
                     /Maximum resident/ { m = $2 } END { printf "%d %d", (u + s) * 1000, m }' \
          "$work/time")
    read -r cpu peak <<<"$out"
    if [[ -z $best_cpu ]] || ((cpu < best_cpu)); then best_cpu=$cpu best_peak=$peak; fi
  done
  echo "$best_cpu $best_peak"
}

device="--depth 8 --max-width 320 --max-height 320 --density 72 --compression 0 --fit --dither"
read -r ours_cpu ours_peak < <(measure "'$tool' encode '$work/photo.jpg' '$work/ours.bin' $device")
read -r im_cpu im_peak < <(measure "convert '$work/photo.jpg' -auto-orient -resize 320x320 \
  -dither FloydSteinberg -remap '$work/palette.png' '$work/im.bmp'")
read -r pbm_cpu pbm_peak < <(measure "jpegtopnm '$work/photo.jpg' | pamscale -xyfit 320 320 \
  | pnmremap -fs -mapfile='$map' | pnmtopalm -depth 8 >'$work/netpbm.palm'")

((ours_cpu > 0)) || ours_cpu=1
printf '%-14s %10s %12s %10s %10s\n' tool 'CPU ms' 'peak KiB' 'CPU x' 'peak x'
row() {
  awk -v n="$1" -v c="$2" -v p="$3" -v oc="$ours_cpu" -v op="$ours_peak" 'BEGIN {
    printf "%-14s %10d %12d %10.1f %10.2f\n", n, c, p, c / oc, p / op }'
}
row lumora-bitmap "$ours_cpu" "$ours_peak"
row imagemagick "$im_cpu" "$im_peak"
row netpbm "$pbm_cpu" "$pbm_peak"

# The netpbm stages stream into each other and run at the same time, so the pipeline holds
# the sum of their peaks at once; /usr/bin/time of the whole shows only the largest.
t="/usr/bin/time -f %M -o"
bash -c "$t '$work/s1' jpegtopnm '$work/photo.jpg' 2>/dev/null | $t '$work/s2' pamscale \
  -xyfit 320 320 | $t '$work/s3' pnmremap -fs -mapfile='$map' 2>/dev/null \
  | $t '$work/s4' pnmtopalm -depth 8 >/dev/null"
awk '{ sum += $1 } END { printf "netpbm stages together: %d KiB\n", sum }' \
  "$work/s1" "$work/s2" "$work/s3" "$work/s4"

# preview against encode plus the PNG write, each command 20 times in one measurement
# (the processor times come in steps of 10 ms); figures per run.
"$tool" decode "$work/ours.bin" "$work/shown.bmp" --overwrite
times20() { echo "for i in {1..20}; do $1 || exit 1; done"; }
read -r preview_cpu _ < <(measure "$(times20 "'$tool' preview '$work/photo.jpg' \
  '$work/preview.png' $device")")
read -r encode_cpu _ < <(measure "$(times20 "'$tool' encode '$work/photo.jpg' '$work/again.bin' \
  $device")")
read -r png_cpu _ < <(measure "$(times20 "'$tool' preview '$work/shown.bmp' '$work/write.png' \
  $device")")
awk -v p="$preview_cpu" -v e="$encode_cpu" -v w="$png_cpu" 'BEGIN {
  printf "preview %.1f ms; encode %.1f ms + PNG write %.1f ms = %.1f ms\n", p / 20, e / 20,
    w / 20, (e + w) / 20 }'
