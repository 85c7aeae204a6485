#!/usr/bin/env bash
# The main job: installs what this machine lacks, builds the deliverables into
# build/win32/dist, and shows the library at work under Wine against Wine's own HID stack.
source "$(dirname "$0")/lib.sh"

step "Installing what is missing (mingw-w64, Wine, CMake, GoogleTest, Xvfb, locale)"
bash "$project_root/scripts/setup.sh"

configure_and_build --target deliverables velmar_probe
printf 'Deliverables in %s:\n' "$build_dir/dist"
ls -l "$build_dir/dist"

step "Starting the Wine session (prefix $wine_prefix)"
"$project_root/scripts/wine_session.sh" start "$wine_prefix"
stop_session() { "$project_root/scripts/wine_session.sh" stop "$wine_prefix"; }
trap stop_session EXIT

step "Velmar.dll against Wine's own hid.dll and setupapi.dll"
WINEPREFIX=$wine_prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
  wine "$build_dir/demo/velmar_probe.exe" "$(winepath -w "$build_dir/dist/Velmar.dll" 2>/dev/null)"
