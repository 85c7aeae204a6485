#!/usr/bin/env bash
# Starts or stops the Wine session that tests and the demo run in.
#   wine_session.sh start <prefix>   create the prefix once, apply its settings, start a
#                                    persistent wineserver and the prefix's services
#   wine_session.sh stop  <prefix>   end the session (the prefix stays for the next run)
# All Wine output goes to a log inside the prefix: a background wineserver or service that
# held the caller's stdout would keep CTest waiting for the pipe to close.
set -euo pipefail

action=${1:?start or stop}
prefix=$(realpath -m "${2:?prefix directory}")
here=$(cd "$(dirname "$0")" && pwd)

export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all
# The first process of a session starts the prefix's services with its own environment;
# they must see Wine's own DLLs, never a test's simulator overrides. Gecko and Mono are
# not needed and would ask to be installed.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY

log=$prefix.session.log

case $action in
start)
  mkdir -p "$(dirname "$prefix")"
  if [ ! -f "$prefix/system.reg" ]; then
    echo "wine session: creating prefix $prefix (once, ~10 s)"
    wineboot -i >>"$log" 2>&1 </dev/null
    # Devices and settings installed in the session that created the prefix do not take:
    # end it first.
    wineserver -w
  fi
  # A server left from an earlier run may not be persistent: end it and start afresh.
  wineserver -k >>"$log" 2>&1 </dev/null || true
  wineserver -w >>"$log" 2>&1 </dev/null
  wineserver -p >>"$log" 2>&1 </dev/null
  settings=$here/wine_prefix.reg
  stamp=$prefix/.velmar-settings
  if ! cmp -s "$settings" "$stamp"; then
    wine regedit /S "$(winepath -w "$settings" 2>/dev/null)" >>"$log" 2>&1 </dev/null
    cp "$settings" "$stamp"
  fi
  # Start the services now, under the neutral environment above.
  wine wineboot >>"$log" 2>&1 </dev/null
  ;;
stop)
  [ -d "$prefix" ] || exit 0
  wineserver -k >>"$log" 2>&1 </dev/null || true
  wineserver -w >>"$log" 2>&1 </dev/null || true
  ;;
*)
  echo "usage: $0 start|stop <prefix>" >&2
  exit 2
  ;;
esac
