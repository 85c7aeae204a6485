#!/usr/bin/env bash
# Runs every benchmark (not part of the test suite), prints each one's figures, and ends
# with one table of the figures against their goals.
source "$(dirname "$0")/lib.sh"

step "Installing what is missing"
bash "$project_root/scripts/setup.sh"
configure_and_build

summary=$(mktemp)
exit_work='rm -f "$summary"'
start_wine_session

step "Memory over time: 100,000 rounds of the string exports and the table, then of every export"
(cd "$build_dir/simulated" && LC_ALL=ru_RU.UTF-8 WINEDLLOVERRIDES="hid,setupapi=n;mscoree,mshtml=" \
  wine memory_over_time.exe "${MEMORY_ITERATIONS:-100000}") | tee -a "$summary"

step "ledsignal timing: pulses, pauses and the whole run"
(cd "$build_dir/ledsignal_runs" && WINEDLLOVERRIDES="winmm=n;mscoree,mshtml=" wine ledsignal_timing.exe) |
  tee -a "$summary"

step "Platform cost: platform calls per export, walk time against a plain loop, footprint"
(cd "$build_dir/simulated" && WINEDLLOVERRIDES="hid,setupapi=n;mscoree,mshtml=" \
  wine platform_cost.exe '..\dist') | tee -a "$summary"

step "Summary"
grep '^SUMMARY|' "$summary" | cut -d'|' -f2- |
  awk -F'|' 'BEGIN { printf "%-48s %-44s %-26s %s\n", "figure", "measured", "goal", "verdict" }
             { printf "%-48s %-44s %-26s %s\n", $1, $2, $3, $4 }'
