# Shared by the project's scripts: numbered steps that say what they do, and a failure
# that names the step it happened in.
set -euo pipefail

project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=$project_root/build/win32
wine_prefix=$build_dir/wineprefix
current_step=""
cd "$project_root"

step() {
  current_step=$1
  printf '\n==> %s\n' "$1"
}

on_failure() {
  printf '\nFAILED during: %s\n' "${current_step:-start}" >&2
}
trap on_failure ERR

configure_and_build() {
  step "Configuring (CMake preset win32) and building${*:+: $*}"
  cmake --preset win32 >/dev/null
  cmake --build "$build_dir" "$@"
}
