# The cache outside the clone where the set-up keeps what it fetched or built, once, for
# every clone on this machine: ${VELMAR_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/velmar}.
# Nothing but the set-up (setup.sh, fetch.sh, free_pascal.sh) writes there, except what is
# made from what is there without the network: the user-mode route's loader
# (user_mode_emulation/prepare.sh) and the Wine prefixes that new ones are copied from
# (wine_session.sh).
# Sourced, it sets the places below; run, it prints the place of one of them for CMake.
#   cache.sh free-pascal|hidapi|qemu-user|dotnet|arm64-runtime|arm64-wine|user-mode-route|wine-prefixes

velmar_cache=${VELMAR_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/velmar}
free_pascal_version=3.2.2
hidapi_version=0.13.1
# The Windows .NET runtime for each architecture: the npm package of that version and its
# tarball's SHA-512 (the registry's "integrity", in hex).
dotnet_version=2.1.1007
declare -A dotnet_packages=(
  [x86]="dotnet-2.1-win-ia32 98f1d8edec9de92705af39bac84e27b749f3dfcedef25e03dc782bdeee57f458b430e1c213a116a3f012d4f4f766532b8759582bf6c2c7f588827ec5a022149b"
  [x64]="dotnet-2.1-win-x64 53487a36519a89738cb3f75709a044048fd3ee9f28b8254c30622f35fe4ac51664951f23522f9be8f5f15046833ee012c8860883d001cb4a708cf05c320842e0"
)

declare -A cached=(
  # The Free Pascal cross compilers for Windows (free_pascal.sh).
  [free-pascal]=$velmar_cache/free-pascal-$free_pascal_version
  # hidapi's sources, checked against Debian's source package (fetch.sh).
  [hidapi]=$velmar_cache/hidapi-$hidapi_version
  # QEMU's user-mode emulators for i386 and aarch64 programs, from bookworm-backports
  # (fetch.sh).
  [qemu-user]=$velmar_cache/qemu-user
  # The C and C++ runtime for ARM64 Windows test programs built with clang: mingw-w64's CRT
  # and LLVM's compiler-rt, libunwind, libc++abi and libc++, built from Debian's source
  # packages (arm64_runtime.sh).
  [arm64-runtime]=$velmar_cache/arm64-runtime-clang14
  # Debian's arm64 Wine, unpacked from its packages into a tree of its own (fetch.sh), and
  # the wrappers that run it under qemu-aarch64 (user_mode_emulation/prepare_arm64.sh).
  [arm64-wine]=$velmar_cache/arm64-wine
  # dotnet.exe and its shared framework for x86/ and x64/, from the npm registry (fetch.sh).
  [dotnet]=$velmar_cache/dotnet-$dotnet_version
  # The user-mode route's Wine loader (user_mode_emulation/prepare.sh).
  [user-mode-route]=$velmar_cache/user-mode-route
  # A new Wine prefix for each architecture and Wine build (wine_session.sh).
  [wine-prefixes]=$velmar_cache/wine-prefixes
)

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  printf '%s\n' "${cached[${1:?item}]:?no such item in the cache: $1}"
fi
