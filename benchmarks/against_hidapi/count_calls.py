"""Counts each side's platform calls in Wine's relay log of `hidapi_comparison.exe --calls`:
between a side's two markers, the calls into hid.dll, setupapi.dll and cfgmgr32.dll and
into kernel32's file functions whose return address lies in that side's own code (so that
what those DLLs call in turn is not counted), and the calls that the cfgmgr32.dll stand-in
records itself (only hidapi calls it). Prints one line per operation and side, with
the calls by function.
    count_calls.py < RELAY_LOG
"""
import collections
import re
import sys

MARKER = re.compile(r'^(\w+):.*OutputDebugString\w* "velmar-calls (begin|end) (\S+) '
                    r'([0-9A-Fa-f]+) ([0-9A-Fa-f]+) (.*?)(?:\\n)?"')
CALL = re.compile(r'^(\w+):Call (\w+)\.(\w+)\(.*\) ret=([0-9A-Fa-f]+)')
# The cfgmgr32.dll stand-in's own record of a call, which the relay log cannot show.
TRACED = re.compile(r'^(\w+):.*OutputDebugString\w* "velmar-calls call (\w+)\.(\w+)')
PLATFORM_DLLS = {"hid", "setupapi", "cfgmgr32"}
FILE_FUNCTIONS = {"CreateFileA", "CreateFileW", "ReadFile", "WriteFile", "DeviceIoControl",
                  "GetOverlappedResult", "CancelIo", "CloseHandle"}


def platform_function(dll, function):
    dll = dll.lower()
    return dll in PLATFORM_DLLS or (dll in ("kernel32", "kernelbase") and
                                    function in FILE_FUNCTIONS)


def count(lines):
    """{(operation, side): Counter of calls by function}, in the order the markers came."""
    counts = {}
    open_phase = {}  # thread -> (operation, side, low, high)
    for line in lines:
        marker = MARKER.match(line)
        if marker:
            thread, edge, side, low, high, operation = marker.groups()
            if edge == "begin":
                open_phase[thread] = (operation, side, int(low, 16), int(high, 16))
                counts[(operation, side)] = collections.Counter()
            else:
                open_phase.pop(thread, None)
            continue
        traced = TRACED.match(line)
        if traced and traced.group(1) in open_phase:
            thread, _, function = traced.groups()
            operation, side, _, _ = open_phase[thread]
            counts[(operation, side)][function] += 1
            continue
        call = CALL.match(line)
        if call and call.group(1) in open_phase:
            thread, dll, function, ret = call.groups()
            operation, side, low, high = open_phase[thread]
            if low <= int(ret, 16) < high and platform_function(dll, function):
                counts[(operation, side)][function] += 1
    return counts


def main():
    counts = count(sys.stdin)
    if not counts:
        sys.exit("count_calls: no markers in the log (was it run with WINEDEBUG=+relay,+debugstr?)")
    print(f"{'operation':<26} {'side':<11} {'calls':>5}  by function")
    for (operation, side), calls in counts.items():
        detail = ", ".join(f"{name} {n}" for name, n in calls.most_common())
        print(f"{operation:<26} {side:<11} {sum(calls.values()):>5}  {detail}")


if __name__ == "__main__":
    main()
