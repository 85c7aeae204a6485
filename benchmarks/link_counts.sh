#!/usr/bin/env bash
# How many times a checkout's builds linked each library of the kit (Velmar.dll and the
# simulator's devsim.dll, hid.dll and setupapi.dll), from ninja's logs of its build trees: a
# line each time an output was made. Run on a fresh
# clone after the test command (route_cost.sh does), it shows that nothing is linked twice.
# The reproducibility test's second build of the kit, in a scratch folder of its own, links
# each once more by design and is not counted here.
#   link_counts.sh [CHECKOUT]    default: this checkout
set -euo pipefail

checkout=$(realpath "${1:-$(dirname "$0")/..}")
find "$checkout/build" -name .ninja_log | sort | while read -r log; do
  tree=${log%/.ninja_log}
  awk -v tree="${tree#"$checkout"/}" '
    $4 ~ /^(dist\/Velmar|simulated\/(devsim|hid|setupapi))\.dll$/ { n[$4]++ }
    END { for (f in n) printf "%s/%s: linked %d time(s)\n", tree, f, n[f] }' "$log" | sort
done
