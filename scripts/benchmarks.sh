#!/usr/bin/env bash
# Runs every benchmark (of them, only the platform-call counts are in the test suite too),
# prints each one's figures, and ends with one table of the figures against their goals
# (benchmarks/under_wine.sh). Where this kernel cannot execute 32-bit programs, they run
# inside the emulated machine and their times are labelled as such.
source "$(dirname "$0")/lib.sh"

step "Installing what is missing"
bash "$project_root/scripts/setup.sh"
choose_windows_route
configure_and_build_x64
configure_and_build

run_windows_programs bash "$project_root/benchmarks/under_wine.sh"
step "Velmar.dll against hidapi on Wine's own HID stack"
run_windows_programs bash "$project_root/benchmarks/against_hidapi/run.sh" "$build_dir"
step "The x64 library's benchmarks (natively under 64-bit Wine)"
VELMAR_BENCHMARK_ARCH=x64 bash "$project_root/benchmarks/under_wine.sh"
