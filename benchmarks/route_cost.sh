#!/usr/bin/env bash
# What the emulated route costs: the README's two commands (scripts/test.sh, scripts/demo.sh)
# timed from a fresh clone of this checkout's HEAD and then again in the same clone (prefixes
# and build in place), natively where this kernel executes 32-bit programs and with
# VELMAR_EMULATED=1, side by side on this host. Prints the figures and the emulated/native
# ratios. Not part of the test suite; takes over an hour on a 2-core host.
source "$(dirname "$0")/../scripts/lib.sh"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/velmar-route-cost.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

declare -A seconds
# timed KEY ROUTE CLONE SCRIPT: runs the clone's script on the route, its output to a log.
timed() {
  local key=$1 route=$2 clone=$3 script=$4 start end
  local log=$scratch/$key.log
  local forcing=VELMAR_EMULATED=0
  [ "$route" = emulated ] && forcing=VELMAR_EMULATED=1
  step "$key: $forcing bash scripts/$script (log: $log)"
  start=$(date +%s)
  if ! env "$forcing" bash "$clone/scripts/$script" >"$log" 2>&1; then
    tail -n 30 "$log"
    echo "route cost: $key failed" >&2
    exit 1
  fi
  end=$(date +%s)
  seconds[$key]=$((end - start))
  printf '%s: %d s\n' "$key" "${seconds[$key]}"
}

routes=(emulated)
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  routes=(native emulated)
fi
for route in "${routes[@]}"; do
  for script in test.sh demo.sh; do
    clone=$scratch/$route-${script%.sh}
    git clone -q "$project_root" "$clone"
    timed "$route ${script%.sh}, fresh clone" "$route" "$clone" "$script"
    timed "$route ${script%.sh}, again" "$route" "$clone" "$script"
    rm -rf "$clone"
  done
done

step "Route cost on this host ($(nproc) cores)"
minutes() { awk -v s="$1" 'BEGIN { printf "%d s (%.1f min)", s, s / 60 }'; }
printf '%-34s %-20s %-20s %s\n' "command" "native" "emulated" "emulated/native"
for key in "test, fresh clone" "test, again" "demo, fresh clone" "demo, again"; do
  native=${seconds["native $key"]:-}
  emulated=${seconds["emulated $key"]}
  if [ -n "$native" ]; then
    printf '%-34s %-20s %-20s %s\n' "$key" "$(minutes "$native")" "$(minutes "$emulated")" \
      "$(awk -v e="$emulated" -v n="$native" 'BEGIN { printf "%.1fx", e / n }')"
  else
    printf '%-34s %-20s %-20s %s\n' "$key" "n/a" "$(minutes "$emulated")" "n/a"
  fi
done
