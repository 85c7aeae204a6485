#!/usr/bin/env bash
# What each route costs: the README's two commands (scripts/test.sh, scripts/demo.sh) timed
# from a fresh clone of this checkout's HEAD and then again in the same clone (prefixes and
# build in place), side by side on this host. The routes are this host's own (native where
# the kernel executes 32-bit programs, user-mode emulation where it cannot) and the emulated
# machine (VELMAR_EMULATED=1). Prints the figures and the ratios to the first route. Not part
# of the test suite; the emulated machine's column alone takes over an hour on a 2-core host.
#   route_cost.sh [--offline] [ROUTE...]
#       ROUTE: routes to time (native, user-mode, machine); default: all that this host has
#       --offline: each command runs without the network (a network namespace of its own,
#       as root), after the set-up has run once with it
source "$(dirname "$0")/../scripts/lib.sh"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/velmar-route-cost.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  host_route=native
else
  host_route=user-mode
fi
cut_off=()
if [ "${1:-}" = --offline ]; then
  cut_off=(unshare --net --)
  shift
fi
routes=("$@")
[ ${#routes[@]} -gt 0 ] || routes=("$host_route" machine)
for route in "${routes[@]}"; do
  case $route in
  machine | "$host_route") ;;
  *) echo "route cost: this host has the routes $host_route and machine, not $route" >&2; exit 2 ;;
  esac
done

declare -A seconds
# timed KEY ROUTE CLONE SCRIPT: runs the clone's script on the route, its output to a log.
timed() {
  local key=$1 route=$2 clone=$3 script=$4 start end
  local log=$scratch/$key.log
  local forcing=VELMAR_EMULATED=0
  [ "$route" = machine ] && forcing=VELMAR_EMULATED=1
  step "$key: $forcing bash scripts/$script (log: $log)"
  start=$(date +%s)
  if ! "${cut_off[@]}" env "$forcing" bash "$clone/scripts/$script" >"$log" 2>&1; then
    tail -n 30 "$log"
    echo "route cost: $key failed" >&2
    exit 1
  fi
  end=$(date +%s)
  seconds[$key]=$((end - start))
  grep -m1 '^Route:' "$log" || true
  printf '%s: %d s\n' "$key" "${seconds[$key]}"
}

declare -A links
for route in "${routes[@]}"; do
  for script in test.sh demo.sh; do
    clone=$scratch/$route-${script%.sh}
    git clone -q "$project_root" "$clone"
    timed "$route ${script%.sh}, fresh clone" "$route" "$clone" "$script"
    links[$route ${script%.sh}]=$(bash "$project_root/benchmarks/link_counts.sh" "$clone")
    timed "$route ${script%.sh}, again" "$route" "$clone" "$script"
    rm -rf "$clone"
  done
done

step "Route cost on this host ($(nproc) cores; its own route: $host_route${cut_off[*]:+; without the network})"
minutes() { awk -v s="$1" 'BEGIN { printf "%d s (%.1f min)", s, s / 60 }'; }
header=$(printf '%-22s' "command")
for route in "${routes[@]}"; do header+=$(printf ' %-20s' "$route"); done
for route in "${routes[@]:1}"; do header+=$(printf ' %s' "$route/${routes[0]}"); done
echo "$header"
for key in "test, fresh clone" "test, again" "demo, fresh clone" "demo, again"; do
  line=$(printf '%-22s' "$key")
  for route in "${routes[@]}"; do line+=$(printf ' %-20s' "$(minutes "${seconds["$route $key"]}")"); done
  for route in "${routes[@]:1}"; do
    line+=$(awk -v e="${seconds["$route $key"]}" -v n="${seconds["${routes[0]} $key"]}" \
      'BEGIN { printf " %.1fx", e / n }')
  done
  echo "$line"
done
for key in "${!links[@]}"; do
  printf '\nLibraries linked by the %s from a fresh clone:\n%s\n' "$key" "${links[$key]}"
done
