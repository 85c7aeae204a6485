#!/usr/bin/env bash
# What the ARM64 suite adds to the test command, once the set-up has run: in a fresh clone of
# this checkout's HEAD, the ARM64 tree's configure and build (preset winarm64), its CTest
# run under arm64 Wine in qemu-aarch64 (with the Wine prefix copied from the cache's
# template, as in any fresh clone), and the CTest run again with everything in place.
# Prints the seconds of each and the sum of the first two. Not part of the test suite.
#   arm64_cost.sh
source "$(dirname "$0")/../scripts/lib.sh"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/velmar-arm64-cost.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
git clone --quiet "$project_root" "$scratch/clone"
log=$scratch/log

# timed NAME COMMAND...: runs the command in the clone, its output to the log; says how long
# it took, and stops with the log's end where it failed.
declare -A tenths
timed() {
  local name=$1 start
  shift
  start=$(date +%s%N)
  if ! (cd "$scratch/clone" && "$@") >>"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "arm64 cost: $name failed" >&2
    exit 1
  fi
  tenths[$name]=$((($(date +%s%N) - start) / 100000000))
  say "$name" "${tenths[$name]}"
}
say() { printf '%-34s %5d.%d s\n' "$1" $(($2 / 10)) $(($2 % 10)); }

timed "configure and build (winarm64)" bash -c \
  'source scripts/lib.sh && configure_and_build_arm64'
timed "ARM64 suite, fresh prefix" ctest --preset winarm64
timed "ARM64 suite, again" ctest --preset winarm64
say "added to the test command" \
  $((tenths["configure and build (winarm64)"] + tenths["ARM64 suite, fresh prefix"]))
