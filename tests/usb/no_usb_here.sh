#!/usr/bin/env bash
# serve --usb on a machine without USB device files: one line that says so, exit 1, at once
# (libusb would start and then never see a device). Skipped where the machine has USB.
set -uo pipefail
host=$1
if [ -e /dev/bus/usb ]; then echo "this machine has USB: nothing to check"; exit 77; fi
err=$(mktemp)
trap 'rm -f "$err"' EXIT
LUMORA_WINDOWS_DIR=$(dirname "$err") timeout 10 "$host" serve --usb --once > /dev/null 2> "$err"
status=$?
[ "$status" -eq 1 ] || { echo "FAIL: exit $status, expected 1"; exit 1; }
[ "$(wc -l < "$err")" -eq 1 ] && grep "USB cannot be used here" "$err" > /dev/null ||
  { echo "FAIL: expected one line saying USB cannot be used:"; cat "$err"; exit 1; }
echo "ok: $(cat "$err")"
