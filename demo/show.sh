#!/usr/bin/env bash
# The Wine part of the demonstration, on a built tree (scripts/demo.sh builds it first):
# Velmar.dll against Wine's own HID stack, the device table over a simulated world, and
# devcmd.exe against the device simulator and against a virtual device in Wine's stack.
source "$(dirname "$0")/../scripts/lib.sh"

start_wine_session

step "Velmar.dll against Wine's own hid.dll and setupapi.dll"
(exec_under_wine "$wine_prefix" "$build_dir/demo/velmar_probe.exe" \
  "$("$wine_loader" winepath -w "$build_dir/dist/Velmar.dll" 2>/dev/null)")

step "HID_DeviceInfo over a simulated world"
(cd "$build_dir/simulated" && exec_under_wine --simulator "$wine_prefix" device_table_demo.exe)

step "devcmd.exe and Velmar.dll against the device simulator"
(LC_ALL=ru_RU.UTF-8 exec_under_wine --simulator "$wine_prefix" "$build_dir/devcmd_runs/devcmd_demo.exe")

step "devcmd.exe against a virtual 04D8:F6F1 device in Wine's own HID stack"
bash "$project_root/demo/devcmd_on_real_stack.sh" "$build_dir"
