#!/usr/bin/env bash
# The bash completion: commands, options per command, values, and serial devices after
# --serial, each case the words typed so far and what the completion must offer.
set -euo pipefail
completion=$1
devices=$(mktemp -d)
trap 'rm -rf "$devices"' EXIT
touch "$devices/ttyUSB0" "$devices/ttyUSB1" "$devices/ttyACM0" "$devices/console"

# words (the last one is being completed) | the offers, sorted
cases=(
  "lumora-hotsync s|serve sync"
  "lumora-hotsync --v|--version"
  "lumora-handheld |--help --version connect"
  "lumora-bitmap d|decode"
  "lumora-font c|convert"
  "lumora-hotsync serve --s|--serial --serial-listen --sync-type"
  "lumora-hotsync serve --once --l|--listen"
  "lumora-hotsync serve --u|--usb --user"
  "lumora-handheld connect --serial /dev/x --framing |netsync slp"
  "lumora-hotsync sync --h|--handheld --help"
  "lumora-hotsync log --|--help --user"
  "lumora-bitmap decode --o|--overwrite"
  "lumora-bitmap preview --z|--zoom"
  "lumora-font queue x.ttf --|--help --user --variant"
  "lumora-font convert x.ttf y.pdb --variant |conduit installer"
  "lumora-hotsync serve --baud 1|115200 19200"
  "lumora-hotsync serve --serial $devices/tty|$devices/ttyACM0 $devices/ttyUSB0 $devices/ttyUSB1"
  "lumora-handheld connect --serial $devices/ttyU|$devices/ttyUSB0 $devices/ttyUSB1"
  "lumora-hotsync serve --serial $devices/con|$devices/console"
  "lumora-hotsync serve --user |"
  "/usr/bin/lumora-hotsync reg|register"
)

failures=0
for c in "${cases[@]}"; do
  typed=${c%%|*} want=${c#*|}
  got=$(bash --norc --noprofile -c '
    _lumora_serial_globs="$1/ttyUSB* $1/ttyACM*"
    source "$2"
    read -r -a COMP_WORDS <<< "$3"
    [[ $3 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _lumora
    printf "%s\n" "${COMPREPLY[@]}" | sort | paste -sd " "' _ "$devices" "$completion" "$typed")
  if [ "$got" != "$want" ]; then
    echo "FAIL: '$typed': offered '$got', expected '$want'" >&2
    failures=$((failures + 1))
  fi
done
[ "$failures" = 0 ] && echo "${#cases[@]} completions as expected"
exit "$failures"
