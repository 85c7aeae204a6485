#!/usr/bin/env bash
# Builds the release: build/win32/release/velmar-<version>-win32.zip and its folder, with
# the deliverables, header, import libraries, hidlist, the device simulator, a user README
# and SHA256SUMS.
source "$(dirname "$0")/lib.sh"

step "Installing what is missing"
bash "$project_root/scripts/setup.sh"
configure_and_build --target release
