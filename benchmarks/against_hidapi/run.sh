#!/usr/bin/env bash
# The benchmark against hidapi on Wine's own HID stack (hidapi_comparison.cpp), on a built
# tree: stages the program, Velmar.dll, the cfgmgr32.dll hidapi needs on Wine and the virtual
# device's driver into the real-stack prefix, runs it there beside devcmd's three products and
# Wine's own devices, and prints its table; then runs it once more under Wine's relay log and
# prints each side's platform calls per operation (count_calls.py).
#   run.sh [BUILD_DIR [ROUNDS [DEVICES...]]]    (default: build/win32, 10000, 1 16 64; the
#                                                calls are counted with 16 devices)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build_dir=$(realpath -m "${1:-$here/../../build/win32}")
shift $(($# > 0 ? 1 : 0))
prefix_script=$here/../../scripts/hid_prefix.sh
run_under_wine=$here/../../scripts/run_under_wine.sh
run_dir=$build_dir/wineprefix-hid/drive_c/hidapi-bench
scale=${VELMAR_TIME_SCALE:-1}

hidapi_sources=$(bash "$here/../../scripts/cache.sh" hidapi)
if [ ! -f "$hidapi_sources/windows/hid.c" ]; then
  echo "hidapi's sources are missing from $hidapi_sources: bash scripts/setup.sh brings them" >&2
  exit 1
fi
cmake --build "$build_dir" --target hidapi_comparison >/dev/null
"$prefix_script" prepare "$build_dir"
"$prefix_script" select "$build_dir" hidapi_bench F6F1 F6F0 00DF
trap '"$prefix_script" stop "$build_dir"' EXIT

rm -rf "$run_dir"
mkdir -p "$run_dir"
cp "$build_dir/real_stack/hidapi_comparison.exe" "$build_dir/real_stack/cfgmgr32.dll" \
  "$build_dir/dist/Velmar.dll" "$build_dir/virtual_hid_device/velmar_virtual_hid.inf" \
  "$build_dir/virtual_hid_device/velmar_virtual_hid.sys" "$run_dir/"
comparison() {
  (cd "$run_dir" && VHID_INF='C:\hidapi-bench\velmar_virtual_hid.inf' \
    timeout $((3600 * scale)) "$run_under_wine" --native cfgmgr32 \
    "$build_dir/wineprefix-hid" 'C:\hidapi-bench\hidapi_comparison.exe' "$@" </dev/null)
}

echo "Times (ms, median of 15) and heap growth; each pair measured in one run:"
comparison "$@"
# Relay traces the calls into Wine's own DLLs; the cfgmgr32.dll stand-in, not one of them,
# records its own.
echo
echo "Platform calls per operation, with 16 devices (Wine's relay log):"
VELMAR_WINEDEBUG=+relay,+debugstr VELMAR_CFGMGR32_TRACE=1 comparison --calls 16 2>&1 >/dev/null |
  python3 "$here/count_calls.py"
