#!/usr/bin/env bash
# The whole test suite: installs what this machine lacks, builds everything and runs every
# test under Wine (the first run creates the Wine prefix inside the build tree).
source "$(dirname "$0")/lib.sh"

step "Installing what is missing (mingw-w64, Wine, CMake, GoogleTest, Xvfb, locale)"
bash "$project_root/scripts/setup.sh"

configure_and_build

step "Running the test suite (CTest, under Wine)"
ctest --preset win32 "$@"
