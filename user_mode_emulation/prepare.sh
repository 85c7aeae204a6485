#!/usr/bin/env bash
# Makes the user-mode route in FOLDER and prints the path of its Wine loader: a program that
# runs Debian's 32-bit Wine loader under QEMU 10's qemu-i386, for a kernel that cannot execute
# 32-bit programs itself. Kept from run to run; a second call only checks what is there.
#   prepare.sh FOLDER
# QEMU 10 comes from bookworm-backports, fetched and checked by apt through a sources list and
# state of its own (the system's apt configuration is not touched) and unpacked into FOLDER.
# Fails with one line on stderr where it cannot be had; the caller then takes another route.
set -euo pipefail

folder=$(realpath -m "${1:?folder}")
qemu_root=$folder/qemu-user
qemu=$qemu_root/usr/bin/qemu-i386
tree=$folder/wine-tree
loader=$tree/lib/wine/wine
mkdir -p "$folder"

fetch_qemu() {
  local apt_dir=$folder/apt
  rm -rf "$apt_dir" "$qemu_root"
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/download"
  echo "deb http://deb.debian.org/debian bookworm-backports main" >"$apt_dir/sources.list"
  local apt=(apt-get -qq -o "Dir::Etc::SourceList=$apt_dir/sources.list" -o Dir::Etc::SourceParts=-
    -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache" -o APT::Sandbox::User=root)
  # apt's reason: the first fetch that failed (to `apt-get update` an unreachable mirror may
  # be only a warning), else its first error, else its last line.
  reason() {
    grep -m1 -E '^(E|W): Failed to fetch' "$apt_dir/log" || grep -m1 '^E:' "$apt_dir/log" ||
      tail -n1 "$apt_dir/log"
  }
  if ! "${apt[@]}" update >"$apt_dir/log" 2>&1; then
    echo "bookworm-backports cannot be reached: $(reason)" >&2
    return 1
  fi
  if ! (cd "$apt_dir/download" && "${apt[@]}" download qemu-user/bookworm-backports) >>"$apt_dir/log" 2>&1; then
    echo "qemu-user from bookworm-backports cannot be fetched: $(reason)" >&2
    return 1
  fi
  mkdir -p "$qemu_root.partial"
  dpkg-deb --fsys-tarfile "$apt_dir"/download/qemu-user_*.deb |
    tar -x -C "$qemu_root.partial" ./usr/bin/qemu-i386
  mv "$qemu_root.partial" "$qemu_root"
  rm -rf "$apt_dir"
}

# qemu-i386 before 8.0 shares one descriptor table between a process's threads, and Wine's
# threaded programs then die: the emulator must be 8 or later.
qemu_is_sound() {
  local version
  version=$("$qemu" --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\)\..*/\1/p')
  [ -n "$version" ] && [ "$version" -ge 8 ]
}

[ -x "$qemu" ] && qemu_is_sound || fetch_qemu
qemu_is_sound || { echo "$qemu is not QEMU 8 or later" >&2; exit 1; }

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
