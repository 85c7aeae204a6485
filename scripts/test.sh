#!/usr/bin/env bash
# The whole test suite: installs what this machine lacks, builds everything for x86, x64 and
# ARM64 and runs every test under Wine (the first run creates the Wine prefixes inside the
# build trees). The x64 suite runs natively under 64-bit Wine; the ARM64 suite under
# Debian's arm64 Wine in user-mode emulation (qemu-aarch64), on every x86-64 host; where this
# kernel cannot execute 32-bit programs, the x86 suite's Wine runs under user-mode emulation
# (or, where that cannot be had, its CTest runs inside an emulated machine). Each test's
# route is a CTest label, which the summary at the end totals.
source "$(dirname "$0")/lib.sh"

step "Installing what is missing (mingw-w64, Wine, CMake, GoogleTest, Xvfb, locale, QEMU)"
bash "$project_root/scripts/setup.sh"
choose_windows_route

# The x64 and ARM64 trees first: the x86 tree's kit takes their files. Every suite runs,
# whatever the others' outcome; then the skipped tests are named, with why they could not
# run here.
configure_and_build_x64
arm64_status=0
configure_and_build_arm64 || arm64_status=$?
configure_and_build

step "Running the x64 test suite (CTest, natively under 64-bit Wine)"
x64_status=0
ctest --preset win64 --output-junit "$x64_build_dir/ctest-results.xml" "$@" || x64_status=$?

rm -f "$arm64_build_dir/ctest-results.xml"
if [ "$arm64_status" -eq 0 ]; then
  step "Running the ARM64 test suite (CTest, under arm64 Wine in qemu-aarch64)"
  ctest --preset winarm64 --output-junit "$arm64_build_dir/ctest-results.xml" "$@" ||
    arm64_status=$?
fi

step "Running the x86 test suite (CTest, under Wine: route $windows_route)"
x86_status=0
run_windows_programs ctest --preset win32 --output-junit "$build_dir/ctest-results.xml" "$@" ||
  x86_status=$?
step "Skipped tests"
python3 "$project_root/scripts/skipped_tests.py" "x64=$x64_build_dir/ctest-results.xml" \
  "arm64=$arm64_build_dir/ctest-results.xml" "x86=$build_dir/ctest-results.xml"
for suite in x64 arm64; do
  status_variable=${suite}_status
  if [ "${!status_variable}" -ne 0 ]; then
    printf '\nFAILED: the %s test suite (see above)\n' "$suite" >&2
    exit "${!status_variable}"
  fi
done
exit "$x86_status"
