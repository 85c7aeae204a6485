#!/usr/bin/env bash
# The Wine part of the benchmarks, on a built tree (scripts/benchmarks.sh builds it first):
# runs each benchmark, prints its figures, and ends with one table against the goals.
# Inside the emulated machine, times are those of an emulated CPU and are labelled so.
# VELMAR_BENCHMARK_ARCH=x64 runs the library's benchmarks of the x64 build instead, natively
# under 64-bit Wine in that build's prefix.
source "$(dirname "$0")/../scripts/lib.sh"
x64=false
if [ "${VELMAR_BENCHMARK_ARCH:-x86}" = x64 ]; then
  x64=true
  build_dir=$x64_build_dir
  wine_prefix=$build_dir/wineprefix
  export WINEARCH=win64
fi

summary=$(mktemp)
exit_work=(rm -f "$summary")
start_wine_session

# A program beside the device simulator, its figures kept for the summary.
run_beside_simulator() {
  (cd "$build_dir/simulated" && exec_under_wine --simulator "$wine_prefix" "$@") |
    tee -a "$summary"
}

step "Memory over time: 100,000 rounds of the string exports and the table, then of every export"
LC_ALL=ru_RU.UTF-8 run_beside_simulator memory_over_time.exe "${MEMORY_ITERATIONS:-100000}"

if ! $x64; then
  step "ledsignal timing: pulses, pauses and the whole run"
  (cd "$build_dir/ledsignal_runs" && exec_under_wine --native winmm "$wine_prefix" ledsignal_timing.exe) |
    tee -a "$summary"
fi

step "Platform calls per export call"
run_beside_simulator platform_calls.exe

step "Walk time against a plain loop of the same platform calls"
run_beside_simulator walk_cost.exe

step "Footprint of the deliverables"
if $x64; then
  run_beside_simulator deliverable_sizes.exe '..\dist' Velmar.dll
else
  run_beside_simulator deliverable_sizes.exe '..\dist'
fi

step "Summary${WINEARCH:+ ($WINEARCH)}"
if [ -n "${VELMAR_INSIDE_EMULATED_MACHINE:-}" ]; then
  echo "Measured inside the emulated machine. Call counts, memory and footprint are as on any"
  echo "host; ledsignal's times follow the real clock but carry the emulator's jitter; the walk"
  echo "time ratio compares two runs on the same emulated CPU. Marked (emulated): not comparable"
  echo "with figures measured natively."
  label=" (emulated)"
else
  label=""
fi
grep '^SUMMARY|' "$summary" | cut -d'|' -f2- |
  awk -F'|' -v label="$label" '
    BEGIN { printf "%-48s %-44s %-26s %s\n", "figure", "measured", "goal", "verdict" }
    { timed = $1 ~ /time|ledsignal/ ? label : ""
      printf "%-48s %-44s %-26s %s\n", $1 timed, $2, $3, $4 }'
