"""The Python module's own load(), run on the host's Python with a stand-in for ctypes'
Windows loader: from the kit's own folders it loads the DLL of the running Python's
architecture by its full path, and where no place has a DLL that loads it raises one
exception that names every place it tried. (Only a Windows Python would run the real
loader; this proves the module's choice of places and its message.)

Environment: VELMAR_BINDINGS_DIR (the generated velmar.py).
"""
import ctypes
import importlib.util
import os
import shutil
import tempfile
import unittest
from pathlib import Path

MODULE = Path(os.environ["VELMAR_BINDINGS_DIR"]) / "velmar.py"


class StandInLibrary:
    """What ctypes.WinDLL gives: a function object per name, whose types load() sets."""

    def __init__(self, path):
        self.path = path

    def __getattr__(self, name):
        function = type(name, (), {})()
        setattr(self, name, function)
        return function


class Loading(unittest.TestCase):
    def setUp(self):
        self.kit = Path(self.enterContext(tempfile.TemporaryDirectory())) / "velmar-kit"
        (self.kit / "bindings").mkdir(parents=True)
        shutil.copy(MODULE, self.kit / "bindings")
        spec = importlib.util.spec_from_file_location("velmar", self.kit / "bindings" / "velmar.py")
        self.velmar = importlib.util.module_from_spec(spec)
        spec.loader.exec_module(self.velmar)
        self.loadable = {}  # path -> None (loads) or the OSError the loader raises
        windows_loader = getattr(ctypes, "WinDLL", None)
        ctypes.WinDLL = self.stand_in_loader
        self.addCleanup(setattr, ctypes, "WinDLL", windows_loader)

    def stand_in_loader(self, path):
        if path not in self.loadable:
            raise OSError(f"[WinError 126] The specified module could not be found: {path}")
        if self.loadable[path]:
            raise self.loadable[path]
        return StandInLibrary(path)

    def kit_dll(self, *folders, loads=None):
        path = self.kit.joinpath(*folders, "Velmar.dll")
        path.parent.mkdir(parents=True, exist_ok=True)
        path.touch()
        self.loadable[str(path)] = loads
        return str(path)

    def test_the_kits_dll_of_this_pythons_architecture_by_its_full_path(self):
        for architecture, folders in (("x86", ("bin",)), ("x64", ("x64", "bin"))):
            with self.subTest(architecture):
                self.velmar.architecture = lambda: architecture
                x86 = self.kit_dll("bin")
                x64 = self.kit_dll("x64", "bin")
                expected = x64 if architecture == "x64" else x86
                self.assertEqual(self.velmar.load().dll.path, expected)
                self.assertEqual(self.velmar.load(x86).dll.path, x86, "a path given is taken")

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


if __name__ == "__main__":
    unittest.main()
