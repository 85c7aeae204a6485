# The cache outside the clone where the set-up keeps what it fetched or built, once, for
# every clone on this machine: ${VELMAR_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/velmar}.
# Nothing but the set-up (setup.sh, fetch.sh, free_pascal.sh) writes there, except what is
# made from what is there without the network: the user-mode route's loader
# (user_mode_emulation/prepare.sh) and the Wine prefixes that new ones are copied from
# (wine_session.sh).
# Sourced, it sets the places below; run, it prints the place of one of them for CMake.
#   cache.sh free-pascal|hidapi|qemu-user|user-mode-route|wine-prefixes

velmar_cache=${VELMAR_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/velmar}
free_pascal_version=3.2.2
hidapi_version=0.13.1

declare -A cached=(
  # The Free Pascal cross compilers for Windows (free_pascal.sh).
  [free-pascal]=$velmar_cache/free-pascal-$free_pascal_version
  # hidapi's sources, checked against Debian's source package (fetch.sh).
  [hidapi]=$velmar_cache/hidapi-$hidapi_version
  # QEMU's user-mode emulator for i386 programs, from bookworm-backports (fetch.sh).
  [qemu-user]=$velmar_cache/qemu-user
  # The user-mode route's Wine loader (user_mode_emulation/prepare.sh).
  [user-mode-route]=$velmar_cache/user-mode-route
  # A new Wine prefix for each architecture and Wine build (wine_session.sh).
  [wine-prefixes]=$velmar_cache/wine-prefixes
)

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  printf '%s\n' "${cached[${1:?item}]:?no such item in the cache: $1}"
fi
