# Shared by the project's scripts: numbered steps that say what they do, a failure that
# names the step it happened in, the route that runs 32-bit Windows programs here, and the
# one way to run a Windows program under Wine.
set -euo pipefail

project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=$project_root/build/win32
x64_build_dir=$project_root/build/win64
arm64_build_dir=$project_root/build/winarm64
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

# Wine's 32-bit loader runs natively where the kernel executes i386 programs. Elsewhere it runs
# under user-mode emulation (QEMU 10's qemu-i386, which the set-up fetched into its cache:
# user_mode_emulation/prepare.sh), and where that cannot be had (or with VELMAR_EMULATED=1)
# everything that runs it goes into an emulated x86-64 machine whose own kernel executes
# 32-bit programs. Decided once, by running the loader, after set-up installed it. Sets
# windows_route (native, user-mode or machine) and exports VELMAR_WINE_LOADER, the program
# that runs 32-bit Windows programs, and VELMAR_TIME_SCALE, the factor by which generous time
# bounds (start-up, message boxes, whole runs) are stretched.
choose_windows_route() {
  local loader=/usr/lib/wine/wine why
  if [ ! -x "$loader" ]; then
    echo "Wine's 32-bit loader $loader is missing: scripts/setup.sh installs it" >&2
    return 1
  fi
  export VELMAR_WINE_LOADER=wine
  if [ "${VELMAR_EMULATED:-0}" = 1 ]; then
    windows_route=machine
    why="VELMAR_EMULATED=1 forces it"
  elif why=$("$loader" --version 2>&1 </dev/null); then
    windows_route=native
  else
    why="this kernel cannot execute 32-bit programs: ${why##*: }"
    if loader=$(bash "$project_root/user_mode_emulation/prepare.sh"); then
      windows_route=user-mode
      VELMAR_WINE_LOADER=$loader
    else
      windows_route=machine
      why="$why; no user-mode emulation"
    fi
  fi
  case $windows_route in
  native)
    export VELMAR_TIME_SCALE=1
    echo "Route: this kernel executes 32-bit programs; Wine runs natively."
    ;;
  user-mode)
    export VELMAR_TIME_SCALE=${VELMAR_TIME_SCALE:-3}
    echo "Route: Wine's 32-bit loader runs under qemu-i386 ($why; bounds x$VELMAR_TIME_SCALE)."
    ;;
  machine)
    export VELMAR_TIME_SCALE=${VELMAR_TIME_SCALE:-8}
    echo "Route: Wine runs inside an emulated x86-64 machine ($why; slower, bounds x$VELMAR_TIME_SCALE)."
    ;;
  esac
}

# Runs a command that starts 32-bit Windows programs, on the route chosen above. In the
# emulated machine the Wine prefixes live on its own disk: writing them over the host's
# shared files would make their creation take minutes.
run_windows_programs() {
  if [ "${windows_route:?choose_windows_route first}" != machine ]; then
    "$@"
  else
    "$project_root/emulated_machine/run.sh" --local "$wine_prefix" --local "$hid_prefix" \
      --local "$hid_prefix-removal" "$@"
  fi
}

# The release kit in the x86 build takes its x64 and ARM64 files from the x64 and ARM64
# builds, which their suites test too: nothing is built twice.
configure_and_build() {
  step "Configuring (CMake preset win32) and building${*:+: $*}"
  cmake --preset win32 -DVELMAR_TIME_SCALE="${VELMAR_TIME_SCALE:-1}" \
    -DVELMAR_WINDOWS_ROUTE="${windows_route:-native}" -DVELMAR_X64_BUILD_DIR="$x64_build_dir" \
    -DVELMAR_ARM64_BUILD_DIR="$arm64_build_dir" >/dev/null
  cmake --build "$build_dir" "$@"
}

# The x64 library's own build with its tests (preset win64). They run under 64-bit Wine,
# which every x86-64 host executes natively, whichever route the x86 programs take.
configure_and_build_x64() {
  step "Configuring (CMake preset win64) and building the x64 library and its tests"
  cmake --preset win64 >/dev/null
  cmake --build "$x64_build_dir"
}

# The ARM64 library's own build with its tests (preset winarm64), compiled by clang with the
# runtime the set-up built. They run under arm64 Wine in qemu-aarch64 on every x86-64 host:
# time bounds stretched as on the x86 user-mode route.
configure_and_build_arm64() {
  step "Configuring (CMake preset winarm64) and building the ARM64 library and its tests"
  cmake --preset winarm64 -DVELMAR_TIME_SCALE="${VELMAR_ARM64_TIME_SCALE:-3}" >/dev/null
  cmake --build "$arm64_build_dir"
}

# Wine in PREFIX, for this shell and every program it starts: of the architecture WINEARCH
# names (win32 unless set; win64 for the x64 build), quiet (unless VELMAR_WINEDEBUG names
# Wine's debug channels, as WINEDEBUG does), on the screen of the prefix's session, with
# Wine's own DLLs but for the DLLs named, which come from beside the program.
# Sets wine_variables to the exported VAR=value words, and wine_loader to the program that
# runs Windows programs there: for win32 Debian's wine, as a user runs it (under user-mode
# emulation the route's VELMAR_WINE_LOADER, which runs the same loader); for win64 the
# 64-bit loader itself, since Debian's wine takes the 32-bit one wherever it is installed,
# also on a host whose kernel cannot execute it.
# With VELMAR_WINE_MACHINE=arm64 (for the ARM64 build; WINEARCH win64, the only prefix arm64
# Wine makes) it is Debian's arm64 Wine instead, from the cache, under qemu-aarch64
# (user_mode_emulation/prepare_arm64.sh, run here where its wrappers are not made yet):
# wine_loader is its loader, and wine, wine64 and wineserver by name are its own.
# Sets wine_build to the files that tell the Wine build apart (its wine.inf and loader), and
# wine_kind to the kind of prefix it makes (win32, win64 or arm64).
#   wine_environment PREFIX [DLL...]
wine_environment() {
  local prefix native hash
  prefix=$(realpath -m "${1:?prefix}")
  shift
  # Native only, without a builtin fallback: a DLL missing from beside the program fails
  # loudly instead of Wine's own answering. Gecko and Mono are never needed, and would ask
  # to be installed.
  local overrides="mscoree,mshtml="
  if [ $# -gt 0 ]; then
    printf -v native '%s,' "$@"
    overrides="${native%,}=n;$overrides"
  fi
  # Each prefix has a screen of its own, an Xvfb display numbered from the prefix's folder:
  # two build trees on one machine, or the suite's prefix and the real-stack one, do not
  # share one.
  hash=$(printf '%s' "$prefix" | md5sum)
  local architecture=${WINEARCH:-win32}
  [ "${VELMAR_WINE_MACHINE:-}" != arm64 ] || architecture=${WINEARCH:-win64}
  wine_variables=("WINEPREFIX=$prefix" "WINEARCH=$architecture"
    "WINEDEBUG=${VELMAR_WINEDEBUG:--all}" "WINEDLLOVERRIDES=$overrides"
    "DISPLAY=:$((0x${hash:0:3} % 900 + 100))")
  wine_build=(/usr/share/wine/wine.inf /usr/lib/wine/wine64)
  wine_kind=$architecture
  case ${VELMAR_WINE_MACHINE:-} in
  "") ;;
  arm64)
    arm64_wine_environment "$architecture" || return 1
    export "${wine_variables[@]}"
    return
    ;;
  *)
    echo "VELMAR_WINE_MACHINE=$VELMAR_WINE_MACHINE names no Wine here: arm64, or unset for the host's" >&2
    return 1
    ;;
  esac
  wine_loader=${VELMAR_WINE_LOADER:-wine}
  if [ "$wine_loader" != wine ]; then
    # A user's "wine" is then the route's loader too.
    case :$PATH: in
    *:"${wine_loader%/*}":*) ;;
    *) wine_variables+=("PATH=${wine_loader%/*}:$PATH") ;;
    esac
  fi
  if [ "${WINEARCH:-win32}" = win64 ]; then
    wine_loader=/usr/lib/wine/wine64
    wine_variables+=("WINELOADER=$wine_loader")
  fi
  export "${wine_variables[@]}"
}

# What wine_environment sets for arm64 Wine, ARCHITECTURE being the WINEARCH it exports. Its
# server must be its own: a session's "wineserver -k" that reached the host's would end
# nothing, and a host server that Wine started would refuse its processes.
arm64_wine_environment() {
  if [ "$1" != win64 ]; then
    echo "WINEARCH=$1: arm64 Wine makes only 64-bit prefixes (WINEARCH=win64)" >&2
    return 1
  fi
  local place
  place=$(bash "$project_root/scripts/cache.sh" arm64-wine)
  local wine_dir=$place/sysroot/usr/lib/wine
  if [ ! -x "$wine_dir/wine64" ] || [ ! -x "$place/bin/wineserver" ]; then
    bash "$project_root/user_mode_emulation/prepare_arm64.sh" >/dev/null || return 1
  fi
  wine_loader=$wine_dir/wine64
  wine_build=("$place/sysroot/usr/share/wine/wine.inf" "$wine_dir/wine64-aarch64")
  wine_kind=arm64
  wine_variables+=("WINELOADER=$wine_loader" "WINESERVER=$wine_dir/wineserver")
  # First on the PATH, before the host's Wine.
  case :$PATH: in
  :"$place/bin":*) ;;
  *) wine_variables+=("PATH=$place/bin:$PATH") ;;
  esac
}

# Replaces this shell with a Windows program under Wine in PREFIX (see wine_environment):
# with Wine's own DLLs, with the device simulator's hid.dll and setupapi.dll from beside it
# (--simulator), or with another DLL of its own from beside it (--native DLL). A script that
# carries on afterwards calls it in a subshell; CTest, Python and timeout(1) start
# scripts/run_under_wine.sh.
#   exec_under_wine [--simulator] [--native DLL]... PREFIX PROGRAM [ARG...]
exec_under_wine() {
  local native=()
  while :; do
    case ${1:-} in
    --simulator) native+=(hid setupapi) ;;
    --native)
      native+=("${2:?DLL name}")
      shift
      ;;
    *) break ;;
    esac
    shift
  done
  wine_environment "${1:?prefix}" "${native[@]}"
  shift
  exec "$wine_loader" "$@"
}

# Starts the Wine session of the build folder's prefix, on the prefix's screen, for the rest
# of the script, and ends it on exit. Wine's own tools run after this through the loader
# ("$wine_loader" winepath) see the session through the exported variables.
start_wine_session() {
  wine_environment "$wine_prefix"
  step "Starting the Wine session (prefix $wine_prefix, screen $DISPLAY)"
  "$project_root/scripts/wine_session.sh" start "$wine_prefix"
  trap 'cleanup_on_exit' EXIT
}

# Extra work for the exit trap (a command and its arguments), set by a script before it
# starts the session.
exit_work=()
cleanup_on_exit() {
  if [ ${#exit_work[@]} -gt 0 ]; then
    "${exit_work[@]}"
  fi
  "$project_root/scripts/wine_session.sh" stop "$wine_prefix"
}
