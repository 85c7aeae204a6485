#!/usr/bin/env bash
# Builds the Free Pascal cross compilers for 32-bit and 64-bit Windows, each with the units
# of its run-time library, from Debian's native compiler and compiler sources alone: Debian
# packages no such cross compiler. They compile the Pascal example for the tests
# (cmake/FreePascal.cmake finds them). Built once into the user's cache, outside the clone,
# so that fresh clones share them; quiet and instant when they are there.
#   free_pascal.sh
# The place (cache.sh's free-pascal) holds i386-win32/ and x86_64-win64/, a compiler and
# units/ in each.
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/cache.sh"
version=$free_pascal_version
place=${cached[free-pascal]}
sources=/usr/share/fpcsrc/$version
messages=/usr/lib/x86_64-linux-gnu/fpc/$version/msg/errore.msg

if ! command -v ppcx64 >/dev/null || [ ! -d "$sources/compiler" ]; then
  echo "free_pascal: Free Pascal $version and its sources are missing: scripts/setup.sh installs them" >&2
  exit 1
fi
# A new Debian build of the compiler, or a new recipe, makes new cross compilers.
stamp="ppcx64 $(ppcx64 -iW) $(ppcx64 -iD), recipe $(sha256sum <"${BASH_SOURCE[0]}" | cut -c1-16)"
if [ "$(cat "$place/stamp" 2>/dev/null)" = "$stamp" ]; then
  exit 0
fi

echo "free_pascal: building the Free Pascal $version cross compilers for Windows into $place"
mkdir -p "$(dirname "$place")"
# Built beside the place and renamed into it whole: an interrupted build leaves no place
# that looks finished.
work=$(mktemp -d "$place.XXXXXX")
trap 'rm -rf "$work"' EXIT
log=$work/log

quietly() {
  if ! "$@" >>"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "free_pascal: failed: $*" >&2
    exit 1
  fi
}

# The cross compilers carry the native compiler's date instead of today's, and so does
# every program they build.
SOURCE_DATE_EPOCH=$(date -u -d "$(ppcx64 -iD | tr / -)" +%s)
export SOURCE_DATE_EPOCH

# The compiler's messages come as an include file made from Debian's message file.
mkdir -p "$work/build/utils"
cd "$work/build"
quietly ppcx64 -FEutils -FUutils "-Fu$sources/compiler" "-Fi$sources/compiler" \
  "$sources/compiler/utils/msg2inc.pp"
quietly ./utils/msg2inc "$messages" msg msg

# cross_compiler CPU DEFINE COMPILER TARGET SYSINIT: the compiler for one Windows target and
# its run-time library's units.
cross_compiler() {
  local cpu=$1 define=$2 compiler=$3 target=$4 sysinit=$5
  local folder=$work/result/$cpu-$target compilers=$sources/compiler rtl=$sources/rtl
  mkdir -p "$folder/units" "compiler-$cpu"
  quietly ppcx64 "-d$define" -Sg -O2 "-Fu$compilers" "-Fu$compilers/$cpu" "-Fu$compilers/x86" \
    "-Fu$compilers/systems" "-Fi$compilers" "-Fi$compilers/$cpu" "-Fi$compilers/x86" -Fi. \
    "-FUcompiler-$cpu" "-FE$folder" "-o$compiler" "$compilers/pp.pas"
  local unit=("$folder/$compiler" "-T$target" -n -Sg -O2 "-Fi$rtl/inc" "-Fi$rtl/$cpu"
    "-Fi$rtl/x86" "-Fi$rtl/win" "-Fi$rtl/$target" "-Fi$rtl/win/wininc" "-Fu$rtl/inc"
    "-Fu$rtl/win" "-Fu$rtl/objpas" "-Fu$folder/units" "-FU$folder/units")
  quietly "${unit[@]}" "$rtl/$target/system.pp"
  quietly "${unit[@]}" "$rtl/$target/$sysinit.pp"
  quietly "${unit[@]}" -Mobjfpc "$rtl/objpas/objpas.pp"
  quietly "${unit[@]}" "$rtl/inc/fpintres.pp"
}
cross_compiler i386 I386 ppcross386 win32 sysinitpas
cross_compiler x86_64 X86_64 ppcrossx64 win64 sysinit
echo "$stamp" >"$work/result/stamp"

if [ -d "$place" ]; then
  mv -T "$place" "$work/stale"
fi
mv -T "$work/result" "$place"
