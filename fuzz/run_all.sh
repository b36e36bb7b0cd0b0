#!/usr/bin/env bash
# Builds the fuzz preset and runs every fuzz target for a while, each from its seed corpus
# (copied, so the repository's seeds stay small), then prints one line per target:
# executions, corpus entries and bytes, crashes. Exit status 1 when any target crashed.
# Usage: fuzz/run_all.sh [-t SECONDS] [-j PARALLEL] [TARGET...]; LUMORA_FUZZ_WORK sets the
# folder of the runs (default build/fuzz/runs).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=30
parallel=1
while getopts "t:j:h" opt; do
  case $opt in
    t) seconds=$OPTARG ;;
    j) parallel=$OPTARG ;;
    h) sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))

# target  seed-corpus  dictionary (or -)
targets=(
  "bitmap_decoder_fuzz     fuzz/bitmap/corpus_decoder  -"
  "bitmap_bmp_reader_fuzz  fuzz/bitmap/corpus_bmp      fuzz/bitmap/bmp.dict"
  "bitmap_runs_fuzz        fuzz/bitmap/corpus_runs     -"
  "jpeg_reader_fuzz        fuzz/photos/corpus_jpeg     -"
  "png_reader_fuzz         fuzz/photos/corpus_png      -"
  "heif_reader_fuzz        fuzz/photos/corpus_heif     -"
  "name_flag_fuzz          fuzz/pictures/corpus        -"
  "hotsync_pdb_fuzz        fuzz/hotsync/corpus         fuzz/hotsync/pdb.dict"
  "netsync_reassembly_fuzz fuzz/hotsync/link/corpus_netsync  fuzz/hotsync/link/netsync.dict"
  "dlp_desktop_fuzz        fuzz/hotsync/link/corpus_answers  fuzz/hotsync/link/dlp.dict"
  "dlp_handheld_fuzz       fuzz/hotsync/link/corpus_requests fuzz/hotsync/link/dlp.dict"
  "handheld_link_fuzz      fuzz/handheld/corpus_link   -"
  "handheld_dlp_fuzz       fuzz/handheld/corpus_server -"
  "slp_padp_reassembly_fuzz fuzz/hotsync/link/corpus_slp     fuzz/hotsync/link/serial.dict"
  "serial_link_fuzz        fuzz/hotsync/link/corpus_serial_link fuzz/hotsync/link/serial.dict"
  "usb_connection_info_fuzz fuzz/usb/corpus_connection_info -"
  "framing_recogniser_fuzz fuzz/hotsync/link/corpus_framing    fuzz/hotsync/link/framing.dict"
  "profile_ini_fuzz        fuzz/profile/corpus         fuzz/profile/ini.dict"
  "reg_file_fuzz           fuzz/fonts/corpus/reg_file  fuzz/fonts/reg_file.dict"
  "command_line_fuzz       fuzz/fonts/corpus/command_line fuzz/fonts/command_line.dict"
)

selected=()
for line in "${targets[@]}"; do
  read -r name _ _ <<<"$line"
  if [ $# -eq 0 ] || [[ " $* " == *" $name "* ]]; then selected+=("$line"); fi
done
if [ ${#selected[@]} -eq 0 ]; then echo "run_all: no such target: $*" >&2; exit 2; fi

cmake --preset fuzz >/dev/null
names=()
for line in "${selected[@]}"; do read -r name _ _ <<<"$line"; names+=("$name"); done
cmake --build --preset fuzz --target "${names[@]}" >/dev/null

work=${LUMORA_FUZZ_WORK:-build/fuzz/runs}
mkdir -p "$work"
export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

run_one() {
  local name=$1 seeds=$2 dict=$3
  local dir=$work/$name
  rm -rf "$dir"
  mkdir -p "$dir/corpus" "$dir/artifacts"
  cp "$seeds"/* "$dir/corpus/" 2>/dev/null || true
  rm -f "$dir/corpus/README"
  local args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
              -artifact_prefix="$dir/artifacts/")
  if [ "$dict" != "-" ]; then args+=(-dict="$dict"); fi
  "build/fuzz/bin/$name" "${args[@]}" "$dir/corpus" >"$dir/log" 2>&1 || true
}

running=0
for line in "${selected[@]}"; do
  read -r name seeds dict <<<"$line"
  run_one "$name" "$seeds" "$dict" &
  running=$((running + 1))
  if [ "$running" -ge "$parallel" ]; then wait -n; running=$((running - 1)); fi
done
wait

status=0
printf '%-24s %12s %8s %10s %8s\n' target executions corpus bytes crashes
for line in "${selected[@]}"; do
  read -r name _ _ <<<"$line"
  dir=$work/$name
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -1)
  entries=$(find "$dir/corpus" -type f | wc -l)
  bytes=$(find "$dir/corpus" -type f -printf '%s\n' | awk '{s+=$1} END {print s+0}')
  crashes=$(find "$dir/artifacts" -type f | wc -l)
  printf '%-24s %12s %8s %10s %8s\n' "$name" "${execs:-?}" "$entries" "$bytes" "$crashes"
  if [ "$crashes" -ne 0 ] || [ -z "$execs" ]; then
    status=1
    echo "  see $dir/log and $dir/artifacts/" >&2
  fi
done
exit $status
