#!/usr/bin/env bash
# The whole test suite: installs what this machine lacks, builds everything and runs every
# test under Wine (the first run creates the Wine prefix inside the build tree). Where this
# kernel cannot execute 32-bit programs, CTest runs inside an emulated machine.
source "$(dirname "$0")/lib.sh"

step "Installing what is missing (mingw-w64, Wine, CMake, GoogleTest, Xvfb, locale, QEMU)"
bash "$project_root/scripts/setup.sh"
choose_windows_route

configure_and_build

step "Running the test suite (CTest, under Wine)"
run_windows_programs ctest --preset win32 "$@"
