#!/usr/bin/env bash
# Shows devcmd.exe at work on Wine's real HID stack: prepares the real-stack prefix (once),
# makes the virtual device 04D8:F6F1 the only one of devcmd's products present, runs the
# built devcmd.exe and Velmar.dll (no simulator, no DLL overrides) and tells in plain words
# what the device received.
#   devcmd_on_real_stack.sh [BUILD_DIR]     (default: build/win32, already built)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build_dir=$(realpath -m "${1:-$here/../build/win32}")
prefix_script=$here/../scripts/hid_prefix.sh
run_under_wine=$here/../scripts/run_under_wine.sh
scenario=show_devcmd
run_dir=$build_dir/wineprefix-hid/drive_c/devcmd-show

cmake --build "$build_dir" --target Velmar devcmd virtual_hid_device >/dev/null

echo "Preparing the Wine prefix with the virtual HID devices ($build_dir/wineprefix-hid)"
"$prefix_script" prepare "$build_dir"
echo "Making 04D8:F6F1 the only present device of devcmd's family (F6F0 and 00DF absent)"
"$prefix_script" select "$build_dir" "$scenario" F6F1
trap '"$prefix_script" stop "$build_dir"' EXIT

rm -rf "$run_dir"
mkdir -p "$run_dir"
cp "$build_dir/dist/devcmd.exe" "$build_dir/dist/Velmar.dll" "$run_dir/"

echo "Running devcmd.exe with Wine's own setupapi.dll, hid.dll and HID class driver"
status=0
(cd "$run_dir" && timeout 20 "$run_under_wine" "$build_dir/wineprefix-hid" \
  'C:\devcmd-show\devcmd.exe' </dev/null) || status=$?
if [ "$status" -eq 124 ]; then
  echo "devcmd.exe did not end within 20 s: it is probably showing a message box." >&2
  exit 1
elif [ "$status" -ne 0 ]; then
  echo "devcmd.exe ended with exit code $status." >&2
  exit 1
fi

log=$build_dir/wineprefix-hid/drive_c/vhid-logs/$scenario/F6F1.log
echo
if [ ! -s "$log" ]; then
  echo "The virtual device 04D8:F6F1 received nothing."
  exit 1
fi
count=$(wc -l <"$log")
echo "The virtual device 04D8:F6F1 received $count request(s):"
while read -r kind bytes; do
  case $kind in
  write) what="an output report on its interrupt OUT pipe" ;;
  set_output) what="an output report over the control pipe" ;;
  set_feature) what="a feature report" ;;
  get_feature) what="a request for its feature report" ;;
  get_input) what="a request for its input report" ;;
  *) what=$kind ;;
  esac
  if [ -n "$bytes" ]; then
    n=$(wc -w <<<"$bytes")
    echo "  $what, $n bytes: $bytes"
  else
    echo "  $what"
  fi
done <"$log"
if [ "$(cat "$log")" = "write 42 00 00 00 00 00" ]; then
  echo "That is devcmd's command report: command byte 0x42 and five zero bytes, sent once" \
    "(the report ID byte 0 that devcmd writes first is not sent to a device without report IDs)."
fi
