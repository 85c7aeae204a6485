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

# Starts the build folder's Wine session on its Xvfb screen (the display number the test
# suite uses for this build folder) for the rest of the script, and ends it on exit.
# Wine programs run after this see the session through the exported variables.
start_wine_session() {
  local display=$(( 0x$(printf '%s' "$build_dir" | md5sum | cut -c1-3) % 900 + 100 ))
  step "Starting the Wine session (prefix $wine_prefix, screen :$display)"
  "$project_root/scripts/wine_session.sh" start "$wine_prefix" "$display"
  session_display=$display
  trap 'cleanup_on_exit' EXIT
  export WINEPREFIX=$wine_prefix WINEDEBUG=-all DISPLAY=":$display"
}

# Extra work for the exit trap, set by a script before it starts the session.
exit_work=""
cleanup_on_exit() {
  [ -n "$exit_work" ] && eval "$exit_work"
  "$project_root/scripts/wine_session.sh" stop "$wine_prefix" "$session_display"
}
