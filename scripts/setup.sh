#!/usr/bin/env bash
# Installs everything a fresh Debian 12 machine lacks to build and test Velmar: the i686 and
# x86-64 mingw-w64 cross toolchains, 32-bit and 64-bit Wine, CMake/Ninja, GoogleTest sources,
# Xvfb, the ru_RU.UTF-8 locale, LLVM's dlltool, linker and clang for the MSVC import libraries
# and their checks, pkg-config for the kit's pkg-config file, Doxygen for its manual,
# libclang's Python module for the bindings' generator, pefile for the checks of the built PE
# files, mono's C# compiler for the checks of the C# bindings, the emulated machine that runs
# Wine where this kernel cannot execute 32-bit programs (QEMU, Debian's kernel, static
# busybox, ext4 tools), cloc for the tests' share of the code, and Free Pascal's compiler and
# sources, from which free_pascal.sh then builds the Windows cross compilers of the Pascal
# example. Then builds the C and C++ runtime of ARM64 Windows programs from Debian's source
# packages (arm64_runtime.sh) and fetches what the tests need from beyond the installed
# packages (fetch.sh, with curl where apt cannot: hidapi's sources, QEMU's qemu-i386, the
# Windows .NET runtime). All land in the cache outside the clone (cache.sh), so that after
# one set-up the README's commands work without the network. Idempotent and quiet when all
# is there; a package mirror in the middle of a sync is waited for and worked around where
# it can be (apt_install.sh, apt_retries.sh). What only the tests or the ARM64 build need and
# cannot be had now does not stop the set-up: what needs it fails, naming this command.
set -euo pipefail

packages=(
  g++-mingw-w64-i686 gcc-mingw-w64-i686 binutils-mingw-w64-i686 mingw-w64-i686-dev
  g++-mingw-w64-x86-64 gcc-mingw-w64-x86-64 binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  wine wine32 wine64
  cmake ninja-build googletest
  llvm-14 lld-14 clang-14 pkgconf doxygen
  xvfb xauth
  locales
  python3 python3-pefile python3-clang-14 cloc curl make xz-utils bzip2
  mono-mcs
  fp-compiler-3.2.2 fpc-source-3.2.2 fp-utils-3.2.2
  qemu-system-x86 linux-image-amd64 busybox-static e2fsprogs
)

need_sudo() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${packages[@]}"; do
  arch_pkg=$p
  [ "$p" = wine32 ] && arch_pkg=wine32:i386
  dpkg-query -W -f='${Status}' "$arch_pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$arch_pkg")
done

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup: adding the i386 architecture (for wine32)"
  need_sudo dpkg --add-architecture i386
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  need_sudo env "VELMAR_SETUP_SECURITY_FALLBACK=${VELMAR_SETUP_SECURITY_FALLBACK:-1}" \
    bash "$(dirname "$0")/apt_install.sh" "${missing[@]}"
fi

if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
  echo "setup: generating the ru_RU.UTF-8 locale"
  need_sudo sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' | need_sudo tee -a /etc/locale.gen >/dev/null
  need_sudo locale-gen >/dev/null
fi

# As the user who runs the set-up: these go into that user's cache.
bash "$(dirname "$0")/free_pascal.sh"
if ! bash "$(dirname "$0")/arm64_runtime.sh"; then
  echo "setup: going on without it; configuring for ARM64 fails until this set-up builds it"
fi
if ! bash "$(dirname "$0")/fetch.sh"; then
  echo "setup: going on without it; the tests that need it fail until this set-up fetches it"
fi
