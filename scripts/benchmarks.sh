#!/usr/bin/env bash
# Runs the benchmarks (not part of the test suite) and prints their figures.
source "$(dirname "$0")/lib.sh"

step "Installing what is missing"
bash "$project_root/scripts/setup.sh"
configure_and_build

display=$(( 0x$(printf '%s' "$build_dir" | md5sum | cut -c1-3) % 900 + 100 ))
step "Starting the Wine session"
"$project_root/scripts/wine_session.sh" start "$wine_prefix" "$display"
stop_session() { "$project_root/scripts/wine_session.sh" stop "$wine_prefix" "$display"; }
trap stop_session EXIT
export WINEPREFIX=$wine_prefix WINEDEBUG=-all DISPLAY=":$display"

step "Memory over time: string exports and HID_DeviceInfo against the simulator"
(cd "$build_dir/simulated" && LC_ALL=ru_RU.UTF-8 WINEDLLOVERRIDES="hid,setupapi=n;mscoree,mshtml=" \
  wine memory_over_time.exe "${MEMORY_ITERATIONS:-100000}")

step "ledsignal timing: pulses, pauses and the whole run"
(cd "$build_dir/ledsignal_runs" && WINEDLLOVERRIDES="winmm=n;mscoree,mshtml=" wine ledsignal_timing.exe)
