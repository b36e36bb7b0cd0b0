# Sourced by the end-to-end scripts: a work folder that goes on exit together with the
# processes whose ids the script keeps in $server, $cable and pids, and the steps every
# script repeats. prepare needs $host and $samples.
work=$(mktemp -d)
server= cable= pids=()
cleanup() {
  for p in $server $cable "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# A copy of the sample sync folder and of the sample handheld (under each name given,
# "handheld" when none is) in $work/SIDE, with the conduit registered there.
prepare() {  # side [handheld...]
  local side=$1 h; shift
  [ $# -gt 0 ] || set -- handheld
  mkdir -p "$work/$side/windows"
  for h in "$@"; do cp -r "$samples/handheld" "$work/$side/$h"; done
  cp -r "$samples/sync" "$work/$side/sync"
  printf '[Lumdex]\r\nSyncDir=%s\r\n' "$work/$side/sync" > "$work/$side/windows/Lumdex.ini"
  LUMORA_WINDOWS_DIR=$work/$side/windows "$host" register > /dev/null
}

wait_for_line() {  # file pattern [count]
  for _ in $(seq 150); do
    [ "$(grep -c "$2" "$1" 2>/dev/null || true)" -ge "${3:-1}" ] && return 0
    sleep 0.1
  done
  return 1
}
