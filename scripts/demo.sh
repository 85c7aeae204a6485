#!/usr/bin/env bash
# The demonstration: installs what this machine lacks, builds the deliverables into
# build/win32/dist and what the demonstration runs (not the tests), and shows the library and devcmd at work under Wine (demo/show.sh):
# against Wine's own HID stack, against the device simulator, and against a virtual device
# in Wine's stack. Where this kernel cannot execute 32-bit programs, Wine's 32-bit loader
# runs under user-mode emulation (or the Wine part inside an emulated machine).
source "$(dirname "$0")/lib.sh"

step "Installing what is missing (mingw-w64, Wine, CMake, GoogleTest, Xvfb, locale, QEMU)"
bash "$project_root/scripts/setup.sh"
choose_windows_route

configure_and_build --target demo_programs
printf 'Deliverables in %s:\n' "$build_dir/dist"
ls -l "$build_dir/dist"

run_windows_programs bash "$project_root/demo/show.sh"
