"""The Python module's own code, run on the host's Python with a stand-in for ctypes'
Windows loader. load(): from the kit's own folders it loads the DLL of the running Python's
architecture by its full path, and where no place has a DLL that loads it raises one
exception that names every place it tried. Calls: each function of the stand-in library is a
real ctypes foreign function of the types that load() set, calling Python in the library's
place, so ctypes' own conversions of arguments and results run, and device_table() copies
the entries that its own call filled; the kit README's list_devices.py runs as printed. (Only
a Windows Python would run the real loader, stdcall and the real DLL.)

Environment: VELMAR_BINDINGS_DIR (the generated velmar.py), VELMAR_README (the kit's README).
"""
import codecs
import contextlib
import ctypes
import importlib.util
import io
import os
import re
import runpy
import shutil
import sys
import tempfile
import types
import unittest
from pathlib import Path

MODULE = Path(os.environ["VELMAR_BINDINGS_DIR"]) / "velmar.py"
README = Path(os.environ["VELMAR_README"])

ANSI = "cp1251"  # the stand-in system's ANSI code page, which Windows Python calls "mbcs"
PRODUCT = "Пульт №7"
HANDLE, OTHER = 0x7FFE00001230, 0x7FFE00001240  # wider than 32 bits, as x64 handles can be
REPORT = bytes([0, 0x42, 0, 0, 0, 0, 0])
# Table entries, in the record's order: seven 16-bit fields, then the strings.
KEYPAD = (0x04D8, 0xF6F1, 0x0100, 32, 9, 8, 0, b"Velmar", PRODUCT.encode(ANSI), b"K-0001")
BLANK = (0, 0, 0, 0, 0, 0, 0, b"", b"", b"")  # opened, but nothing could be read
PAD = (0x16C0, 0x05DF, 2, 64, 65, 65, 3, "Завод".encode(ANSI), b"MX31K", b"P-7")


class ForeignFunction:
    """A function of the stand-in library: load() types it as on Windows, and a call goes
    through a ctypes foreign function of those types to the Python in the library's place."""

    def __init__(self, implementations, name):
        self.implementations, self.name = implementations, name
        self.argtypes, self.restype, self.errcheck = (), ctypes.c_int, None

    def __call__(self, *arguments):
        prototype = ctypes.CFUNCTYPE(self.restype, *self.argtypes)
        callback = prototype(self.implementations[self.name])
        function = ctypes.cast(callback, prototype)
        if self.errcheck:
            function.errcheck = self.errcheck
        return function(*arguments)


class StandInLibrary:
    """What ctypes.WinDLL gives: a function per name, whose types load() sets."""

    def __init__(self, path, implementations):
        self.path, self.implementations = path, implementations

    def __getattr__(self, name):
        function = ForeignFunction(self.implementations, name)
        setattr(self, name, function)
        return function


class DeviceInfo:
    """HID_DeviceInfo as the library fills a table: each interface it opens gets every field,
    its strings moved to new memory through the pointers that it gave that entry before; an
    interface it cannot open leaves its entry as it was."""

    def __init__(self, velmar):
        self.table = next(record for record in velmar.records(ctypes.c_void_p)
                          if record.__name__ == "HidDeviceTable")
        self.interfaces = []  # each present interface's entry, or None where it does not open
        self.given = {}  # (index, field) -> the string's memory
        self.faults = []

    def __call__(self, table):
        table = ctypes.cast(table, ctypes.POINTER(self.table)).contents
        table.Count = len(self.interfaces)
        for index, (entry, values) in enumerate(zip(table.Entries, self.interfaces)):
            for (name, _), value in zip(entry._fields_, values or ()):
                if isinstance(value, bytes):
                    given = self.given.get((index, name))
                    if getattr(entry, name) != (given and ctypes.addressof(given)):
                        self.faults.append(f"entry {index}'s {name} is not the library's")
                    self.given[index, name] = ctypes.create_string_buffer(value)
                    value = ctypes.addressof(self.given[index, name])
                setattr(entry, name, value)
        return len(self.interfaces)


class Kit(unittest.TestCase):
    def setUp(self):
        self.kit = Path(self.enterContext(tempfile.TemporaryDirectory())) / "velmar-kit"
        (self.kit / "bindings").mkdir(parents=True)
        shutil.copy(MODULE, self.kit / "bindings")
        spec = importlib.util.spec_from_file_location("velmar", self.kit / "bindings" / "velmar.py")
        self.velmar = importlib.util.module_from_spec(spec)
        spec.loader.exec_module(self.velmar)
        self.loadable = {}  # path -> None (loads) or the OSError the loader raises
        self.implementations = {}  # name -> the Python that a call of the library runs
        windows_loader = getattr(ctypes, "WinDLL", None)
        ctypes.WinDLL = self.stand_in_loader
        self.addCleanup(setattr, ctypes, "WinDLL", windows_loader)

    def stand_in_loader(self, path):
        if path not in self.loadable:
            raise OSError(f"[WinError 126] The specified module could not be found: {path}")
        if self.loadable[path]:
            raise self.loadable[path]
        return StandInLibrary(path, self.implementations)

    def kit_dll(self, *folders, loads=None):
        path = self.kit.joinpath(*folders, "Velmar.dll")
        path.parent.mkdir(parents=True, exist_ok=True)
        path.touch()
        self.loadable[str(path)] = loads
        return str(path)


class Loading(Kit):
    def test_the_kits_dll_of_this_pythons_architecture_by_its_full_path(self):
        dlls = {"x86": self.kit_dll("bin"), "x64": self.kit_dll("x64", "bin"),
                "arm64": self.kit_dll("arm64", "bin")}
        for architecture, dll in dlls.items():
            with self.subTest(architecture):
                self.velmar.architecture = lambda: architecture
                self.assertEqual(self.velmar.load().dll.path, dll)
                self.assertEqual(self.velmar.load(dlls["x86"]).dll.path, dlls["x86"],
                                 "a path given is taken")

    def test_an_arm64_python_is_told_from_an_emulated_x64_one_by_its_build(self):
        self.assertEqual(ctypes.sizeof(ctypes.c_void_p), 8, "this test needs a 64-bit Python")
        for platform, architecture in (("win-amd64", "x64"), ("win-arm64", "arm64")):
            with self.subTest(platform):
                self.velmar.sysconfig = types.SimpleNamespace(get_platform=lambda: platform)
                self.assertEqual(self.velmar.architecture(), architecture)

    def test_the_next_place_where_the_kits_dll_does_not_load(self):
        self.velmar.architecture = lambda: "x64"
        self.kit_dll("x64", "bin", loads=OSError("[WinError 193] %1 is not a valid Win32 application"))
        beside = self.kit_dll("bindings")
        self.assertEqual(self.velmar.load().dll.path, beside)

    def test_nowhere_is_one_exception_that_names_every_place(self):
        self.velmar.architecture = lambda: "x64"
        self.kit_dll("x64", "bin", loads=OSError("[WinError 193] %1 is not a valid Win32 application"))
        with self.assertRaises(self.velmar.VelmarNotFound) as raised:
            self.velmar.load()
        message = str(raised.exception)
        for place in self.velmar.places():
            self.assertIn(place, message)
        self.assertIn("WinError 193", message)
        self.assertIn(str(self.kit / "bindings" / "Velmar.dll") + " (no such file)", message)
        self.assertTrue(message.endswith("could not be found: Velmar.dll)"), message)


class Calling(Kit):
    def setUp(self):
        super().setUp()
        def search(name):
            return codecs.lookup(ANSI) if name == "mbcs" else None
        codecs.register(search)
        self.addCleanup(codecs.unregister, search)
        product = ctypes.create_string_buffer(PRODUCT.encode(ANSI))
        self.device_info = DeviceInfo(self.velmar)
        self.implementations.update(
            HID_OpenDevice=lambda *ids: HANDLE if ids == (0xF6F1, 0x04D8, -1, 0) else None,
            HID_WriteDevice=lambda device, report, length: (
                length if (device, ctypes.string_at(report, length)) == (HANDLE, REPORT) else 0),
            HID_GetProductString=lambda device: (
                ctypes.addressof(product) if device == HANDLE else None),
            HID_CloseDevice=lambda device: {HANDLE: 2, OTHER: 1}.get(device, 0),
            HID_DeviceInfo=self.device_info)
        self.hid = self.velmar.load(self.kit_dll("bin"))

    def test_arguments_and_results_as_ctypes_converts_them(self):
        cases = [  # (function, arguments, result)
            ("HID_OpenDevice", (0xF6F1, 0x04D8, self.velmar.VELMAR_ANY_VERSION, 0), HANDLE),
            ("HID_WriteDevice", (HANDLE, REPORT, 7), 7),
            ("HID_GetProductString", (HANDLE,), PRODUCT),
            ("HID_GetProductString", (OTHER,), ""),
            ("HID_CloseDevice", (HANDLE,), True),
            ("HID_CloseDevice", (OTHER,), True),
            ("HID_CloseDevice", (None,), False),
        ]
        for name, arguments, expected in cases:
            with self.subTest(name, arguments=arguments):
                result = getattr(self.hid, name)(*arguments)
                self.assertEqual((type(result), result), (type(expected), expected))

    def test_the_table_copies_only_the_entries_that_its_own_call_filled(self):
        entries = self.hid.table.Entries
        self.device_info.interfaces = [KEYPAD, BLANK, None]
        first = self.hid.device_table()
        self.assertEqual(first, [(0, KEYPAD), (1, BLANK)])
        self.assertEqual(first[0][1]._fields,
                         tuple(name for name, _ in self.velmar.HidDeviceEntry._fields_))
        blank = bytes(entries[1])
        self.device_info.interfaces = [PAD, None, KEYPAD]
        self.assertEqual(self.hid.device_table(), [(0, PAD), (2, KEYPAD)])
        self.assertEqual(first, [(0, KEYPAD), (1, BLANK)], "the first call's copies")
        self.assertEqual(bytes(entries[1]), blank, "an entry that did not open again")
        left = bytes(entries)
        self.device_info.interfaces = []
        self.assertEqual(self.hid.device_table(), [])
        self.assertEqual(bytes(entries), left, "no interface present")
        self.assertEqual(self.device_info.faults, [])

    def test_the_readmes_list_devices_py(self):
        script = re.search(r"^<!-- file: list_devices\.py -->\n```python\n(.*?)^```$",
                           README.read_text(encoding="utf-8"), re.M | re.S).group(1)
        (self.kit / "list_devices.py").write_text(script, encoding="utf-8")
        self.kit_dll(*self.velmar.KIT_FOLDERS[self.velmar.architecture()])
        sys.path.insert(0, str(self.kit / "bindings"))
        self.addCleanup(sys.path.remove, str(self.kit / "bindings"))
        self.addCleanup(sys.modules.pop, "velmar", None)
        self.device_info.interfaces = [KEYPAD, None, PAD]
        with contextlib.redirect_stdout(io.StringIO()) as printed:
            runpy.run_path(str(self.kit / "list_devices.py"), run_name="__main__")
        self.assertEqual(printed.getvalue().splitlines(), [
            f"0 04D8:F6F1 Velmar {PRODUCT}", "2 16C0:05DF Завод MX31K", f"product: {PRODUCT}"])


if __name__ == "__main__":
    unittest.main()
