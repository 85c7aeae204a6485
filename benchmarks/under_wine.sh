#!/usr/bin/env bash
# The Wine part of the benchmarks, on a built tree (scripts/benchmarks.sh builds it first):
# runs each benchmark, prints its figures, and ends with one table against the goals.
# Inside the emulated machine, times are those of an emulated CPU and are labelled so.
source "$(dirname "$0")/../scripts/lib.sh"

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

step "ledsignal timing: pulses, pauses and the whole run"
(cd "$build_dir/ledsignal_runs" && exec_under_wine --native winmm "$wine_prefix" ledsignal_timing.exe) |
  tee -a "$summary"

step "Platform calls per export call"
run_beside_simulator platform_calls.exe

step "Walk time against a plain loop of the same platform calls"
run_beside_simulator walk_cost.exe

step "Footprint of the deliverables"
run_beside_simulator deliverable_sizes.exe '..\dist'

step "Summary"
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
