#!/usr/bin/env bash
# Makes the wrappers that run Debian's arm64 Wine under QEMU's qemu-aarch64, for the ARM64
# build's tests, and prints the path of its loader. The emulator and the Wine tree are the
# ones the set-up fetched into the cache (scripts/fetch.sh), and the wrappers are made there,
# without the network; a second call only checks what is there. Fails with one line on
# stderr where a piece is missing.
#   prepare_arm64.sh
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../scripts/cache.sh"
qemu=${cached[qemu-user]}/qemu-aarch64
place=${cached[arm64-wine]}
tree=$place/sysroot
wine_dir=$tree/usr/lib/wine
loader=$wine_dir/wine64
if [ ! -x "$qemu" ]; then
  echo "QEMU's qemu-aarch64 is missing from ${cached[qemu-user]}: bash scripts/setup.sh fetches it" >&2
  exit 1
fi
if [ ! -x "$wine_dir/wine64-aarch64" ] || [ ! -x "$wine_dir/wineserver64" ] ||
  [ ! -f "$tree/lib/aarch64-linux-gnu/ld-linux-aarch64.so.1" ]; then
  echo "Debian's arm64 Wine is missing from $place: bash scripts/setup.sh fetches it" >&2
  exit 1
fi

# Every arm64 program of the tree runs under qemu-aarch64 through the tree's own dynamic
# loader, started as a program with the tree's library folders as its search path, so that
# every absolute path a Wine process uses is this machine's. QEMU's -L TREE would instead
# make each absolute path that exists in the tree, "/" included, name the tree's file: Wine
# then finds the root of no drive (z: is "/") above a program's folder, and gives programs
# \\?\unix\ paths for their own files.
# Wine starts its server and every new process from the folder of the running program, which
# under qemu-aarch64 is the folder of the ELF file given to the emulator: so that file is a
# copy of the dynamic loader in Wine's own folder, usr/lib/wine, and beside it are wrappers
# of the names Wine runs there. wine64 runs the loader (the fetch left its name free, naming
# the arm64 program wine64-aarch64), and wineserver the arm64 server: Debian's script of that
# name would start this machine's x86-64 server, which serves no arm64 process. As Debian's
# own script does, the server ends with its last process unless told otherwise (-p).
# What is already right stays as it is, and the rest is replaced whole: Wine processes may be
# starting from the tree, and the first tests of a run may each make the wrappers at once.
replace() {
  if [ "$(cat "$2" 2>/dev/null)" != "$1" ]; then
    printf '%s\n' "$1" >"$2.partial.$$"
    chmod +x "$2.partial.$$"
    mv "$2.partial.$$" "$2"
  fi
}
interpreter=$wine_dir/ld-linux-aarch64.so.1
if ! cmp -s "$tree/lib/aarch64-linux-gnu/ld-linux-aarch64.so.1" "$interpreter"; then
  cp "$tree/lib/aarch64-linux-gnu/ld-linux-aarch64.so.1" "$interpreter.partial.$$"
  mv "$interpreter.partial.$$" "$interpreter"
fi
# libpulse finds its own helper library through a search path of its own, an absolute one.
libraries=$tree/lib/aarch64-linux-gnu:$tree/usr/lib/aarch64-linux-gnu:$tree/usr/lib/aarch64-linux-gnu/pulseaudio
wrapper() {
  printf '#!/bin/sh\nexec "%s" "%s" --library-path "%s" --argv0 "%s" "%s" %s"$@"\n' \
    "$qemu" "$interpreter" "$libraries" "$wine_dir/$1" "$wine_dir/$2" "${3:+$3 }"
}
replace "$(wrapper wineserver wineserver64 -p0)" "$wine_dir/wineserver"
replace "$(wrapper wine64 wine64-aarch64)" "$loader"

# For the PATH of an arm64 session: whoever runs wine, wine64 or wineserver by name, a script
# or a user, reaches the arm64 ones (Debian's wine would take the host's 32-bit loader).
link() {
  [ "$(readlink "$2")" != "$1" ] || return 0
  ln -sfn "$1" "$2.partial.$$"
  mv -T "$2.partial.$$" "$2"
}
mkdir -p "$place/bin"
link "$loader" "$place/bin/wine"
link "$loader" "$place/bin/wine64"
link "$wine_dir/wineserver" "$place/bin/wineserver"

if ! "$loader" --version >/dev/null 2>&1; then
  echo "Wine's arm64 loader does not start under $qemu" >&2
  exit 1
fi
echo "$loader"
