#!/usr/bin/env bash
# The Wine prefix of the real-stack tests (BUILD_DIR/wineprefix-hid, or VELMAR_HID_PREFIX for
# a suite with a prefix of its own), separate from the suite's own prefix: Wine's real setupapi.dll, hid.dll and HID class driver, with three
# instances of the virtual HID device installed (vendor 04D8, products F6F1, F6F0, 00DF).
#   hid_prefix.sh prepare BUILD_DIR
#       create the prefix once and install the devices; later runs reuse it, and install
#       again only when the driver, the installer or the device settings changed
#   hid_prefix.sh select BUILD_DIR SCENARIO [PRODUCT...]
#       make exactly the given products present, each logging to a fresh
#       C:\vhid-logs\SCENARIO\PRODUCT.log, and restart the session so that they take effect
#   hid_prefix.sh stop BUILD_DIR
#       end the session
# Programs run in the session through scripts/run_under_wine.sh, with Wine's own DLLs; the
# prefix has a screen of its own, so the suite's session may run meanwhile.
# Every Wine call is bounded in time (bounds stretched by VELMAR_TIME_SCALE on an emulated
# CPU).
set -euo pipefail

action=${1:?prepare, select or stop}
build_dir=$(realpath -m "${2:?build directory}")
shift 2

here=$(cd "$(dirname "$0")" && pwd)
session=$here/wine_session.sh
run_under_wine=$here/run_under_wine.sh
prefix=${VELMAR_HID_PREFIX:-$build_dir/wineprefix-hid}
device_dir=$build_dir/virtual_hid_device
stamp=$prefix/.virtual-hid-devices

products=(F6F1 F6F0 00DF)
# F6F1 has the command report's length as its output report (7 bytes with the report ID
# byte); its other lengths differ so that a test can tell them apart.
device_settings() {
  printf '%s\n' --vendor 04D8 --product "$1" --version 0100 --input 8 --output 7 --feature 5 \
    --manufacturer "Velmar Test Devices" --product-string "Virtual $1" --serial "V$1-0001" \
    --string "4=Fourth string of $1"
}

scale=${VELMAR_TIME_SCALE:-1}

install_tool() {
  timeout $((60 * scale)) "$run_under_wine" "$prefix" "$device_dir/virtual_hid_install.exe" "$@" \
    </dev/null
}

session_start() { timeout $((180 * scale)) "$session" start "$prefix"; }
session_stop() { timeout $((60 * scale)) "$session" stop "$prefix"; }

fingerprint() {
  cat "$device_dir/velmar_virtual_hid.sys" "$device_dir/velmar_virtual_hid.inf" \
    "$device_dir/virtual_hid_install.exe" | md5sum
  for product in "${products[@]}"; do device_settings "$product"; done
}

prepare() {
  [ -x "$device_dir/virtual_hid_install.exe" ] || {
    echo "hid_prefix: $device_dir has no installer; build the virtual_hid_device target" >&2
    exit 1
  }
  # Starting the session creates the prefix and ends its first session, in which installed
  # devices would not take.
  session_start
  if [ -f "$stamp" ] && cmp -s <(fingerprint) "$stamp"; then
    return
  fi
  # A driver that a session has loaded cannot be replaced: remove the installed copy while
  # no session runs, so that the next session starts without it.
  session_stop
  rm -f "$prefix/drive_c/windows/system32/drivers/velmar_virtual_hid.sys"
  session_start
  local inf
  inf=$(timeout $((60 * scale)) "$run_under_wine" "$prefix" winepath -w \
    "$device_dir/velmar_virtual_hid.inf" 2>/dev/null </dev/null)
  for product in "${products[@]}"; do
    mapfile -t settings < <(device_settings "$product")
    install_tool --inf "$inf" "${settings[@]}" --present 0 --log "" >/dev/null
  done
  fingerprint >"$stamp"
}

select_scenario() {
  local scenario=${1:?scenario name}
  shift
  local present=" $* "
  local log_dir=$prefix/drive_c/vhid-logs/$scenario
  rm -rf "$log_dir"
  mkdir -p "$log_dir"
  session_start
  for product in "${products[@]}"; do
    local on=0
    [[ $present == *" $product "* ]] && on=1
    install_tool --vendor 04D8 --product "$product" --present "$on" \
      --log "C:\\vhid-logs\\$scenario\\$product.log" >/dev/null
  done
  session_stop
  session_start
}

case $action in
prepare) prepare ;;
select) select_scenario "$@" ;;
stop) session_stop ;;
*)
  echo "usage: $0 prepare|select|stop BUILD_DIR [SCENARIO PRODUCT...]" >&2
  exit 2
  ;;
esac
