#!/usr/bin/env bash
# How much of the project's code is test code: lines of code (cloc: no blank lines, no
# comments) in the product (library/, devcmd/, ledsignal/), in the tools around it, and
# in the tests, for the working tree or for any revision.
#   scripts/code_share.sh [REVISION]
# Test code is everything under tests/; trees before the move to one tests/ folder kept it
# in top-level *_tests/ and pe_checks/ folders, which count as tests too. Prose and data
# (Markdown, JSON, .reg, .inf, .def, world files) do not count.
set -euo pipefail

command -v cloc >/dev/null || { echo "cloc is missing: bash scripts/setup.sh installs it" >&2; exit 1; }
cd "$(dirname "$0")/.."
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
if [ $# -gt 0 ]; then
  git archive "$1" | tar -x -C "$tree"
else
  git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$tree"
fi

languages="C,C++,C/C++ Header,Python,Bourne Shell,Bourne Again Shell,CMake,Windows Resource File"
code_lines() {
  [ $# -gt 0 ] || { echo 0; return; }
  cloc --quiet --csv --include-lang="$languages" "$@" | awk -F, '$2 == "SUM" { print $5 }' |
    grep . || echo 0
}

cd "$tree"
product=(library devcmd ledsignal)
tests=()
tools=(CMakeLists.txt)
for folder in */; do
  folder=${folder%/}
  case $folder in
  library | devcmd | ledsignal) ;;
  tests | *_tests | pe_checks) tests+=("$folder") ;;
  *) tools+=("$folder") ;;
  esac
done
product_lines=$(code_lines "${product[@]}")
tool_lines=$(code_lines "${tools[@]}")
test_lines=$(code_lines "${tests[@]}")
total=$((product_lines + tool_lines + test_lines))
printf '%-8s %6s  %s\n' product "$product_lines" "${product[*]}" tools "$tool_lines" "${tools[*]}" \
  tests "$test_lines" "${tests[*]}" all "$total" ""
awk -v t="$test_lines" -v a="$total" -v p="$product_lines" 'BEGIN {
  printf "tests: %.0f%% of all code; %.1f lines of test per line of product\n", 100 * t / a, t / p }'
