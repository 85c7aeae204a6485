#!/usr/bin/env bash
# The whole test suite: installs what this machine lacks, builds everything for x86 and x64
# and runs every test under Wine (the first run creates the Wine prefixes inside the build
# trees). The x64 suite runs natively under 64-bit Wine; where this kernel cannot execute
# 32-bit programs, the x86 suite's Wine runs under user-mode emulation (or, where that cannot
# be had, its CTest runs inside an emulated machine). Each test's route is a CTest label,
# which the summary at the end totals.
source "$(dirname "$0")/lib.sh"

step "Installing what is missing (mingw-w64, Wine, CMake, GoogleTest, Xvfb, locale, QEMU)"
bash "$project_root/scripts/setup.sh"
choose_windows_route

# The x64 tree first: the x86 tree's kit takes its x64 files from it. Both suites run,
# whatever the first one's outcome; then the skipped tests are named, with why they could
# not run here.
configure_and_build_x64
configure_and_build

step "Running the x64 test suite (CTest, natively under 64-bit Wine)"
x64_status=0
ctest --preset win64 --output-junit "$x64_build_dir/ctest-results.xml" "$@" || x64_status=$?

step "Running the x86 test suite (CTest, under Wine: route $windows_route)"
x86_status=0
run_windows_programs ctest --preset win32 --output-junit "$build_dir/ctest-results.xml" "$@" ||
  x86_status=$?
step "Skipped tests"
python3 "$project_root/scripts/skipped_tests.py" "x64=$x64_build_dir/ctest-results.xml" \
  "x86=$build_dir/ctest-results.xml"
if [ "$x64_status" -ne 0 ]; then
  printf '\nFAILED: the x64 test suite (see above)\n' >&2
  exit "$x64_status"
fi
exit "$x86_status"
