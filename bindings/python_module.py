"""velmar.py: an importable ctypes module for 32- and 64-bit Windows Python."""

import textwrap

# ctypes spellings: arguments, results (a BOOL comes back as bool, text as str) and fields.
ARGUMENT = {
    "int32": "ctypes.c_int32",
    "uint32": "ctypes.c_uint32",
    "handle": "ctypes.c_void_p",
    "buffer": "ctypes.c_void_p",
    "in_buffer": "ctypes.c_void_p",
    "record_pointer": "ctypes.POINTER({record})",
}
RESULT = {**ARGUMENT, "bool32": "ctypes.c_int32", "text": "ctypes.c_char_p"}
FIELD = {"uint16": "ctypes.c_uint16", "text": "pointer", "record": "{record}"}

HEAD = '''"""Velmar.dll from Python, through ctypes, on 32- and 64-bit Windows Python.

    import velmar
    hid = velmar.load()  # the kit's DLL for this Python, or velmar.load(r"C:\\\\path\\\\to\\\\Velmar.dll")
    device = hid.HID_OpenDevice(0xF6F1, 0x04D8, velmar.VELMAR_ANY_VERSION, 0)
    if device:
        print(hid.HID_GetProductString(device))
        hid.HID_WriteDevice(device, bytes([0, 0x42, 0, 0, 0, 0, 0]), 7)
        hid.HID_CloseDevice(device)
    for index, entry in hid.device_table():
        print(index, hex(entry.VendorID), velmar.text(entry.Product))

Each HID_ function takes its arguments in velmar.h's order (product before vendor); a BOOL
result comes back as bool, a string result as str in the system's ANSI code page.
device_table() gives a copy (a DeviceEntry) of each entry that its own call filled, which
later calls leave alone. Written from velmar.h by the kit's generator: change the header,
not this file.
"""
import collections
import ctypes
import os
import sys
import sysconfig
'''

TAIL = '''

def text(value):
    """The str of a table's string field (bytes in the ANSI code page, or None)."""
    return value.decode("mbcs") if value else ""


def _bool(result, function, arguments):
    return bool(result)


def _text(result, function, arguments):
    return text(result)


_RESULT_CHECKS = {"bool32": _bool, "text": _text}


# A filled entry never reads this in all of its 16-bit fields: its NumInputBuffers is the low
# half of a count that Windows caps at 512.
_UNFILLED = 0xFFFF


class Velmar:
    """A loaded Velmar.dll with its sixteen functions typed, and one device table of its own
    (the library resizes the table's strings through the pointers it left there, from call to
    call: keep the table, never free or change them)."""

    def __init__(self, path):
        self.dll = ctypes.WinDLL(path)
        self.table = HidDeviceTable()
        for name, (result, parameters) in FUNCTIONS.items():
            function = getattr(self.dll, name)
            function.argtypes = [ARGUMENT_TYPES[name][i] for i in range(len(parameters))]
            function.restype = RESULT_TYPES[name]
            if result in _RESULT_CHECKS:
                function.errcheck = _RESULT_CHECKS[result]
            setattr(self, name, function)

    def device_table(self):
        """(index, DeviceEntry) for each interface that HID_DeviceInfo opened in this call:
        copies (ints and bytes) that later calls leave alone. The library leaves an entry it
        cannot open as an earlier call wrote it, so every entry's 16-bit fields are marked
        before the call, and put back in each entry that the call left marked: self.table
        reads as the library left it."""
        entries = self.table.Entries
        before = [[getattr(entry, name) for name in _MARKED_FIELDS] for entry in entries]
        for entry in entries:
            for name in _MARKED_FIELDS:
                setattr(entry, name, _UNFILLED)
        self.HID_DeviceInfo(ctypes.byref(self.table))
        found = []
        for index, (entry, values) in enumerate(zip(entries, before)):
            if all(getattr(entry, name) == _UNFILLED for name in _MARKED_FIELDS):
                for name, value in zip(_MARKED_FIELDS, values):
                    setattr(entry, name, value)
            else:
                found.append((index, DeviceEntry(*(getattr(entry, name)
                                                   for name in DeviceEntry._fields))))
        return found


class VelmarNotFound(OSError):
    """No Velmar.dll could be loaded; the message names every place tried, and why not."""


# The kit's folder of Velmar.dll for each architecture of Python.
KIT_FOLDERS = {"x86": ("bin",), "x64": ("x64", "bin"), "arm64": ("arm64", "bin")}


def architecture():
    """This Python's architecture, as the kit names its folders: the interpreter's own build,
    which is what its process loads. On Windows on ARM an x86 or x64 Python runs emulated and
    loads only x86 or x64 DLLs; an ARM64 one only ARM64 DLLs."""
    if sysconfig.get_platform() == "win-arm64":
        return "arm64"
    return "x64" if ctypes.sizeof(ctypes.c_void_p) == 8 else "x86"


def places():
    """Where load() looks, in order: the kit's DLL for this Python's architecture (found from
    this module's own place in the kit, bindings/velmar.py), Velmar.dll beside this module,
    beside the running script, and last the bare name in the platform's search order. Since
    Python 3.8, ctypes looks a bare name up only in python.exe's folder, System32 and the
    folders given to os.add_dll_directory, so every other place is given by its full path."""
    module_folder = os.path.dirname(os.path.abspath(__file__))
    kit_folder = os.path.join(os.path.dirname(module_folder), *KIT_FOLDERS[architecture()])
    folders = [kit_folder, module_folder]
    if sys.argv and sys.argv[0]:
        folders.append(os.path.dirname(os.path.abspath(sys.argv[0])))
    found = []
    for folder in folders:
        path = os.path.join(folder, "Velmar.dll")
        if path not in found:
            found.append(path)
    return found + ["Velmar.dll"]


def load(path=None):
    """Loads Velmar.dll from `path`, or else from the first of places() that loads, and
    raises VelmarNotFound naming every place it tried where none does."""
    if path is not None:
        return Velmar(path)
    tried = []
    for place in places():
        if os.path.isabs(place) and not os.path.isfile(place):
            tried.append(f"{place} (no such file)")
            continue
        try:
            return Velmar(place)
        except OSError as error:
            tried.append(f"{place} ({error})")
    raise VelmarNotFound("Velmar.dll could not be loaded from " + "; ".join(tried))
'''


def _spelling(table, kind):
    base, _, record = kind.partition(":")
    return table[base].format(record=record)


def _record(record):
    fields = []
    for field in record.fields:
        spelling = _spelling(FIELD, field.kind)
        if field.count > 1:
            spelling = f"{spelling} * {field.count}"
        fields.append(f'            ("{field.name}", {spelling}),')
    return "\n".join([
        f"    class {record.name}(ctypes.Structure):",
        f'        """{record.brief}"""' if record.brief else f'        """{record.name}."""',
        "        _pack_ = 1",
        "        _fields_ = [",
        *fields,
        "        ]",
        ""])


def _device_entry(api):
    """DeviceEntry, with the fields of the table's entries, and the 16-bit ones that
    device_table() marks."""
    entries = next(field for field in api.record("HidDeviceTable").fields
                   if field.name == "Entries")
    fields = api.record(entries.kind.partition(":")[2]).fields
    names = " ".join(f'"{field.name}",' for field in fields)
    marked = " ".join(f'"{field.name}",' for field in fields if field.kind == "uint16")
    return "\n".join([
        'DeviceEntry = collections.namedtuple("DeviceEntry", (',
        textwrap.fill(names, 100, initial_indent="    ", subsequent_indent="    "),
        "))",
        'DeviceEntry.__doc__ = "One entry of the device table, copied: ints and bytes."',
        "_MARKED_FIELDS = (",
        textwrap.fill(marked, 100, initial_indent="    ", subsequent_indent="    "),
        ")"])


def render(api):
    constants = "\n".join(f"{name} = {value}" for name, value in api.constants.items())
    records = "\n".join(_record(record) for record in api.records)
    names = ", ".join(record.name for record in api.records)
    functions = "\n".join(
        f'    "{f.name}": ("{f.result}", ('
        + "".join(f'("{p.name}", "{p.kind}"), ' for p in f.parameters) + ")),"
        for f in api.functions)
    argument_types = "\n".join(
        f'    "{f.name}": [' + ", ".join(_spelling(ARGUMENT, p.kind) for p in f.parameters)
        + "],"
        for f in api.functions)
    result_types = "\n".join(f'    "{f.name}": {_spelling(RESULT, f.result)},'
                             for f in api.functions)
    return f'''{HEAD}
{constants}


def records(pointer=ctypes.c_char_p):
    """The table's records, packed as in velmar.h, with `pointer` as the type of their string
    fields: c_char_p (the default) reads the text; c_uint32 or c_uint64 gives the x86 or the
    x64 layout on any Python."""
{records}
    return {names}


{names} = records()

{_device_entry(api)}

# Each function's result kind and (name, kind) arguments, in velmar.h's order.
FUNCTIONS = {{
{functions}
}}
ARGUMENT_TYPES = {{
{argument_types}
}}
RESULT_TYPES = {{
{result_types}
}}
{TAIL}'''
