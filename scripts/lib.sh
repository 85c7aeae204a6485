# Shared by the project's scripts: numbered steps that say what they do, a failure that
# names the step it happened in, and the one way to run 32-bit Windows programs here.
set -euo pipefail

project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=$project_root/build/win32
wine_prefix=$build_dir/wineprefix
# The real-stack tests' prefix, with the virtual HID devices installed.
hid_prefix=$build_dir/wineprefix-hid
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

# Wine's 32-bit loader runs natively where the kernel executes i386 programs; elsewhere
# (or with VELMAR_EMULATED=1) everything that runs it goes into an emulated x86-64 machine
# whose own kernel does. Decided once, by running the loader, after set-up installed it.
# Sets windows_route (native or emulated) and exports VELMAR_TIME_SCALE, the factor by
# which generous time bounds (start-up, message boxes, whole runs) are stretched.
choose_windows_route() {
  local loader=/usr/lib/wine/wine why
  if [ ! -x "$loader" ]; then
    echo "Wine's 32-bit loader $loader is missing: scripts/setup.sh installs it" >&2
    return 1
  fi
  if [ "${VELMAR_EMULATED:-0}" = 1 ]; then
    windows_route=emulated
    why="VELMAR_EMULATED=1 forces it"
  elif why=$("$loader" --version 2>&1 </dev/null); then
    windows_route=native
  else
    windows_route=emulated
    why="this kernel cannot execute 32-bit programs: ${why##*: }"
  fi
  if [ "$windows_route" = native ]; then
    export VELMAR_TIME_SCALE=1
    echo "Route: this kernel executes 32-bit programs; Wine runs natively."
  else
    export VELMAR_TIME_SCALE=${VELMAR_TIME_SCALE:-8}
    echo "Route: Wine runs inside an emulated x86-64 machine ($why; slower, bounds x$VELMAR_TIME_SCALE)."
  fi
}

# Runs a command that starts 32-bit Windows programs, on the route chosen above. In the
# emulated machine the Wine prefixes live on its own disk: writing them over the host's
# shared files would make their creation take minutes.
run_windows_programs() {
  if [ "${windows_route:?choose_windows_route first}" = native ]; then
    "$@"
  else
    "$project_root/emulated_machine/run.sh" --local "$wine_prefix" --local "$hid_prefix" "$@"
  fi
}

configure_and_build() {
  step "Configuring (CMake preset win32) and building${*:+: $*}"
  cmake --preset win32 -DVELMAR_TIME_SCALE="${VELMAR_TIME_SCALE:-1}" >/dev/null
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
