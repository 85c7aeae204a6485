#!/usr/bin/env bash
# Builds the C and C++ runtime that ARM64 Windows test programs need when Debian's clang-14
# compiles them: Debian's clang and lld can target ARM64 Windows, but Debian packages no
# runtime for it. From Debian's source packages: mingw-w64's headers and CRT (on msvcrt.dll,
# which Wine and every Windows have, not the UCRT), and LLVM's compiler-rt builtins,
# libunwind, libc++abi and libc++, all static, so that a test program needs no DLL but
# Windows' own. Built once into the user's cache, outside the clone, so that fresh clones
# share it; quiet and instant when it is there.
#   arm64_runtime.sh
# The place (cache.sh's arm64-runtime) is a sysroot: aarch64-w64-mingw32/{include,lib},
# clang's resource folder in lib/clang/, and bin/aarch64-w64-mingw32-clang, -clang++ and
# -windres, which compile, link and compile resources with it (a CMake toolchain file names
# them as its compilers).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/cache.sh"
place=${cached[arm64-runtime]}
triple=aarch64-w64-mingw32
# bookworm's source packages, pinned so that each build makes the same runtime.
mingw_version=10.0.0-3
llvm_version=1:14.0.6-12

missing=()
tools=(clang-14 ld.lld-14 llvm-ar-14 llvm-ranlib-14 llvm-dlltool-14 cmake ninja make xz bzip2)
for tool in "${tools[@]}"; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "arm64_runtime: ${missing[*]} missing: scripts/setup.sh installs them" >&2
  exit 1
fi
# A new Debian build of clang, other sources or a new recipe make a new runtime.
stamp="clang-14 $(dpkg-query -W -f='${Version}' clang-14), llvm-toolchain-14 $llvm_version,"
stamp+=" mingw-w64 $mingw_version, recipe $(sha256sum <"${BASH_SOURCE[0]}" | cut -c1-16)"
if [ "$(cat "$place/stamp" 2>/dev/null)" = "$stamp" ]; then
  exit 0
fi

echo "arm64_runtime: building the C and C++ runtime of ARM64 Windows programs into $place"
mkdir -p "$(dirname "$place")"
# Built beside the place and renamed into it whole: an interrupted build leaves no place
# that looks finished.
work=$(mktemp -d "$place.XXXXXX")
trap 'rm -rf "$work"' EXIT
log=$work/log
apt_output=$work/apt-output
sysroot=$work/result

quietly() {
  if ! "$@" >>"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "arm64_runtime: failed: $*" >&2
    exit 1
  fi
}

# apt checks each file against the archive's signed index.
source "$here/apt_retries.sh"
source "$here/private_apt.sh"
private_apt_state "$work/apt" bookworm deb-src bookworm main &&
  private_apt_fetch "$work/apt" "the sources of mingw-w64 and LLVM" source --download-only \
    "mingw-w64=$mingw_version" "llvm-toolchain-14=$llvm_version" || exit 1
# Only the folders built here come out of the tarballs: LLVM's whole tree is 1.3 GB. Debian's
# patches are left out: those that touch what is built here serve other targets (armhf,
# z/OS, musl), Linux's shared libraries or the tests.
upstream() { local version=${1#*:}; echo "${version%-*}"; }
mingw=mingw-w64-v$(upstream "$mingw_version") llvm=llvm-toolchain-14_$(upstream "$llvm_version")
mkdir -p "$work/mingw" "$work/llvm"
quietly tar -xjf "$work/apt/download/mingw-w64_$(upstream "$mingw_version").orig.tar.bz2" \
  -C "$work/mingw" --strip-components=1 "$mingw/mingw-w64-headers" "$mingw/mingw-w64-crt"
quietly tar -xJf "$work/apt/download/$llvm.orig.tar.xz" -C "$work/llvm" --strip-components=1 \
  --exclude="$llvm/*/test" "$llvm/cmake" "$llvm/llvm/cmake" "$llvm/runtimes" "$llvm/libunwind" \
  "$llvm/libcxxabi" "$llvm/libcxx" "$llvm/compiler-rt/cmake" "$llvm/compiler-rt/lib/builtins"
rm -rf "$work/apt"

# clang finds compiler-rt's builtins in its resource folder only: the place has one of its
# own, which holds the builtins and links to clang's own headers.
llvm_bin=$(dirname "$(readlink -f "$(command -v clang-14)")")
resource=$(clang-14 -print-resource-dir)
release=$(basename "$resource")
mkdir -p "$sysroot/bin" "$sysroot/lib/clang/$release"
ln -s "$resource/include" "$sysroot/lib/clang/$release/include"
# Each wrapper finds the place from its own folder, so that the place works wherever it is.
wrapper() {
  cat >"$sysroot/bin/$triple-$1" <<EOF
#!/bin/sh
# $2 (made by scripts/arm64_runtime.sh)
place=\$(dirname "\$(dirname "\$(readlink -f "\$0")")")
exec $3 "\$@"
EOF
  chmod +x "$sysroot/bin/$triple-$1"
}
# The link options go unused where the wrapper only compiles, which must not trip -Werror.
# clang from LLVM's own folder finds lld as ld.lld there.
for driver in clang clang++; do
  wrapper $driver "$driver-14 for ARM64 Windows with the C and C++ runtime of this place" \
    "$llvm_bin/$driver --target=$triple --sysroot=\"\$place\" \\
  -resource-dir=\"\$place/lib/clang/$release\" --start-no-unused-arguments -rtlib=compiler-rt \\
  -unwindlib=libunwind -stdlib=libc++ -fuse-ld=lld --end-no-unused-arguments"
done
# llvm-windres makes x64 resources unless told the target, and its preprocessor must find
# the place's headers.
wrapper windres "llvm-windres-14 for ARM64 Windows with the headers of this place" \
  "$llvm_bin/llvm-windres --target=$triple --preprocessor-arg=--sysroot=\"\$place\""

# Nothing built here keeps the name of the temporary folder it was built in.
prefix_map=-ffile-prefix-map=$work=.
jobs=$(nproc)
configure() {
  mkdir -p "$work/build/$1"
  (cd "$work/build/$1" && quietly "$work/mingw/mingw-w64-$1/configure" --host=$triple \
    --prefix="$sysroot/$triple" --with-default-msvcrt=msvcrt "${@:2}")
}
configure headers
quietly make -C "$work/build/headers" install
configure crt --enable-libarm64 --disable-lib32 --disable-lib64 CC="$sysroot/bin/$triple-clang" \
  CFLAGS="-O2 $prefix_map" AR=llvm-ar-14 RANLIB=llvm-ranlib-14 DLLTOOL=llvm-dlltool-14
quietly make -C "$work/build/crt" -j"$jobs"
quietly make -C "$work/build/crt" install

# Nothing can be linked before libunwind and libc++ are there: CMake must not try.
cmake_build() {
  quietly cmake -G Ninja -S "$1" -B "$work/build/$(basename "$1")" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=ARM64 -DCMAKE_C_COMPILER_TARGET=$triple \
    -DCMAKE_CXX_COMPILER_TARGET=$triple -DCMAKE_C_COMPILER="$sysroot/bin/$triple-clang" \
    -DCMAKE_CXX_COMPILER="$sysroot/bin/$triple-clang++" -DCMAKE_C_COMPILER_WORKS=ON \
    -DCMAKE_CXX_COMPILER_WORKS=ON -DCMAKE_AR="$llvm_bin/llvm-ar" \
    -DCMAKE_RANLIB="$llvm_bin/llvm-ranlib" -DCMAKE_C_FLAGS="$prefix_map" \
    -DCMAKE_CXX_FLAGS="$prefix_map" "${@:2}"
  quietly ninja -C "$work/build/$(basename "$1")" -j"$jobs" install
}
# Only the builtins of compiler-rt, for this one target, and not after the settings of the
# host's LLVM (llvm-config).
cmake_build "$work/llvm/compiler-rt/lib/builtins" \
  -DCMAKE_INSTALL_PREFIX="$sysroot/lib/clang/$release" -DCOMPILER_RT_DEFAULT_TARGET_ONLY=ON \
  -DLLVM_CONFIG_PATH=
# Windows' own threads, not winpthreads. The libraries are static only, so their headers
# must not declare the functions as imported from a DLL; libc++abi's are told so by
# libc++'s __config_site, which every header of libc++ includes.
cmake_build "$work/llvm/runtimes" -DCMAKE_INSTALL_PREFIX="$sysroot/$triple" \
  -DLLVM_ENABLE_RUNTIMES="libunwind;libcxxabi;libcxx" -DLLVM_INCLUDE_TESTS=OFF \
  -DLIBUNWIND_ENABLE_SHARED=OFF -DLIBUNWIND_USE_COMPILER_RT=ON \
  -DLIBCXXABI_ENABLE_SHARED=OFF -DLIBCXXABI_USE_COMPILER_RT=ON -DLIBCXXABI_USE_LLVM_UNWINDER=ON \
  -DLIBCXXABI_HAS_WIN32_THREAD_API=ON -DLIBCXXABI_INCLUDE_TESTS=OFF \
  -DLIBCXX_ENABLE_SHARED=OFF -DLIBCXX_USE_COMPILER_RT=ON -DLIBCXX_CXX_ABI=libcxxabi \
  -DLIBCXX_ENABLE_STATIC_ABI_LIBRARY=ON -DLIBCXX_HAS_WIN32_THREAD_API=ON \
  -DLIBCXX_EXTRA_SITE_DEFINES=_LIBCXXABI_DISABLE_VISIBILITY_ANNOTATIONS \
  -DLIBCXX_INCLUDE_TESTS=OFF -DLIBCXX_INCLUDE_BENCHMARKS=OFF
echo "$stamp" >"$sysroot/stamp"

if [ -d "$place" ]; then
  mv -T "$place" "$work/stale"
fi
mv -T "$sysroot" "$place"
