#!/usr/bin/env bash
# Starts or stops the Wine session that tests and the demo run in.
#   wine_session.sh start <prefix>
#       create the prefix once, apply its settings, start an Xvfb server on the prefix's
#       screen (so that the session's desktop, and every message box, has one), a persistent
#       wineserver and the prefix's services
#   wine_session.sh stop <prefix>
#       end the session and its Xvfb (the prefix stays for the next run)
# VELMAR_TIME_SCALE stretches the wait for the screen on an emulated CPU; WINEARCH=win64
# makes a 64-bit prefix; VELMAR_WINE_MACHINE=arm64 makes the session one of arm64 Wine under
# qemu-aarch64 (see wine_environment in lib.sh).
# All Wine output goes to a log inside the prefix: a background wineserver or service that
# held the caller's stdout would keep CTest waiting for the pipe to close.
set -euo pipefail

action=${1:?start or stop}
prefix=$(realpath -m "${2:?prefix directory}")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

# The first process of a session starts the prefix's services with its own environment;
# they must see Wine's own DLLs, never a test's simulator overrides.
wine_environment "$prefix"
# Until its Xvfb runs, the prefix's screen does not exist: creating the prefix needs none.
display=${DISPLAY#:}
unset DISPLAY

log=$prefix.session.log
xvfb_pid_file=$prefix.xvfb.pid

start_xvfb() {
  if [ -f "$xvfb_pid_file" ] && kill -0 "$(cat "$xvfb_pid_file")" 2>/dev/null; then
    return
  fi
  Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >>"$log" 2>&1 </dev/null &
  echo $! >"$xvfb_pid_file"
  for _ in $(seq $((50 * ${VELMAR_TIME_SCALE:-1}))); do
    [ -e "/tmp/.X11-unix/X$display" ] && return
    sleep 0.1
  done
  echo "wine session: Xvfb did not start on :$display (see $log)" >&2
  exit 1
}

stop_xvfb() {
  if [ -f "$xvfb_pid_file" ]; then
    kill "$(cat "$xvfb_pid_file")" 2>/dev/null || true
    rm -f "$xvfb_pid_file"
  fi
}

# A new prefix is a copy of this machine's template for the architecture and Wine's build,
# kept in the cache outside the clone; the first prefix that wineboot makes becomes the
# template. Made by wineboot, a prefix takes half a minute under user-mode emulation, and a
# test run makes several, in every fresh clone.
source "$here/cache.sh"
template=${cached[wine-prefixes]}/$wine_kind-$(cat "${wine_build[@]}" | md5sum | cut -c1-16)

keep_as_template() {
  [ ! -d "$template" ] || return 0
  local copy
  mkdir -p "${cached[wine-prefixes]}"
  copy=$(mktemp -d "$template.XXXXXX")
  cp -a "$prefix/." "$copy/"
  # Another session may have made it meanwhile.
  mv -T "$copy" "$template" 2>/dev/null || rm -rf "$copy"
}

# A prefix whose creation was cut short (Ctrl-C, a time-out) is made anew. The folder
# itself stays: inside the emulated machine it is a mount point.
create_prefix() {
  [ ! -d "$prefix" ] || find "$prefix" -mindepth 1 -delete
  if [ -d "$template" ]; then
    cp -a "$template/." "$prefix/"
    return
  fi
  local status=0
  "$wine_loader" wineboot -i >>"$log" 2>&1 </dev/null || status=$?
  [ "$status" -eq 0 ] || echo "wine session: wineboot -i ended with status $status" >>"$log"
  return "$status"
}

case $action in
start)
  mkdir -p "$(dirname "$prefix")"
  created=$prefix/.velmar-created
  if [ ! -f "$created" ]; then
    echo "wine session: creating prefix $prefix (once)"
    # Wine's first start in a new prefix once failed at once here, writing nothing, while
    # another prefix was being created beside it: one more try, and the status in the log.
    if ! create_prefix; then
      echo "wine session: creating $prefix failed; trying once more (see $log)" >&2
      sleep 2
      create_prefix
    fi
    # Devices and settings installed in the session that created the prefix do not take:
    # end it first.
    wineserver -w
    keep_as_template
    touch "$created"
  fi
  start_xvfb
  export DISPLAY=":$display"
  # A server left from an earlier run may not be persistent: end it and start afresh.
  wineserver -k >>"$log" 2>&1 </dev/null || true
  wineserver -w >>"$log" 2>&1 </dev/null
  wineserver -p >>"$log" 2>&1 </dev/null
  settings=$here/wine_prefix.reg
  stamp=$prefix/.velmar-settings
  if ! cmp -s "$settings" "$stamp"; then
    "$wine_loader" regedit /S "$("$wine_loader" winepath -w "$settings" 2>/dev/null)" \
      >>"$log" 2>&1 </dev/null
    cp "$settings" "$stamp"
  fi
  # Start the services now, under the neutral environment above, and wait for them: Wine's
  # own HID devices are there only once wineboot has ended, which takes seconds under
  # qemu-aarch64.
  "$wine_loader" wineboot >>"$log" 2>&1 </dev/null
  ;;
stop)
  [ -d "$prefix" ] || exit 0
  wineserver -k >>"$log" 2>&1 </dev/null || true
  wineserver -w >>"$log" 2>&1 </dev/null || true
  stop_xvfb
  ;;
*)
  echo "usage: $0 start|stop <prefix>" >&2
  exit 2
  ;;
esac
