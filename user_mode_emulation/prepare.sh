#!/usr/bin/env bash
# Makes the user-mode route and prints the path of its Wine loader: a program that runs
# Debian's 32-bit Wine loader under QEMU's qemu-i386, for a kernel that cannot execute 32-bit
# programs itself. The emulator is the one the set-up fetched into the cache
# (scripts/fetch.sh), and the route is made beside it there, without the network; a second
# call only checks what is there. Fails with one line on stderr where it cannot be made: the
# caller then takes another route.
#   prepare.sh
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../scripts/cache.sh"
qemu=${cached[qemu-user]}/qemu-i386
tree=${cached[user-mode-route]}/wine-tree
loader=$tree/lib/wine/wine
if [ ! -x "$qemu" ]; then
  echo "QEMU's qemu-i386 is missing from ${cached[qemu-user]}: bash scripts/setup.sh fetches it" >&2
  exit 1
fi

# Wine runs other programs (its server, each new Windows process) from the folder of the
# running loader, which under qemu-i386 is the folder of the ELF file given to the emulator. So
# that folder holds a copy of the i386 loader beside a script of the loader's own name that
# runs it under the emulator; the loader finds ntdll.so, and Wine its data, from that folder's
# place in a tree shaped like Debian's. What is already right stays as it is, and the rest is
# replaced whole: Wine processes may be starting from the tree.
link() { [ "$(readlink "$2")" = "$1" ] || ln -sfn "$1" "$2"; }
mkdir -p "$tree/lib/wine" "$tree/lib/i386-linux-gnu" "$tree/share"
if ! cmp -s /usr/lib/wine/wine "$tree/lib/wine/wine-i386"; then
  cp /usr/lib/wine/wine "$tree/lib/wine/wine-i386.partial"
  mv "$tree/lib/wine/wine-i386.partial" "$tree/lib/wine/wine-i386"
fi
link /usr/lib/wine/wineserver "$tree/lib/wine/wineserver"
link /usr/lib/i386-linux-gnu/wine "$tree/lib/i386-linux-gnu/wine"
link /usr/share/wine "$tree/share/wine"
script=$(printf '#!/bin/sh\nexec "%s" -0 "%s" "%s" "$@"\n' "$qemu" "$loader" "$tree/lib/wine/wine-i386")
if [ "$(cat "$loader" 2>/dev/null)" != "$script" ]; then
  printf '%s\n' "$script" >"$loader.partial"
  chmod +x "$loader.partial"
  mv "$loader.partial" "$loader"
fi

if ! "$loader" --version >/dev/null 2>&1; then
  echo "Wine's loader does not start under $qemu" >&2
  exit 1
fi
echo "$loader"
