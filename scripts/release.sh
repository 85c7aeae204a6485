#!/usr/bin/env bash
# Builds the release: build/deliverables/release/velmar-<version>-win32.zip and its folder, with
# the deliverables, header, import libraries, hidlist, the device simulator, a user README
# and SHA256SUMS, from a build folder without tests (preset deliverables) that needs no test
# tool.
source "$(dirname "$0")/lib.sh"

step "Installing what is missing"
bash "$project_root/scripts/setup.sh"
step "Configuring (CMake preset deliverables) and building the release"
cmake --preset deliverables >/dev/null
cmake --build --preset deliverables
