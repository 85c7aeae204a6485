"""Each language's declarations of Velmar.dll, as that language's own tools read them, agree
with velmar.h, the DLL's exports and Velmar.def, for this build's architecture; and the
checks catch the mistakes that hand-written declarations make.

Environment: VELMAR_BINDINGS_DIR (the generated files and model.json), VELMAR_ARCH (x86 or
x64), VELMAR_DLL, VELMAR_DEF, VELMAR_PASCAL_COMPILER and VELMAR_PASCAL_UNITS (the cross
compiler and its run-time units), MCS, MONO and VELMAR_REFLECT_BINDINGS (the reflection
tool, built with mcs).
"""
import json
import os
import subprocess
import tempfile
import unittest

import agreement
import declared
import pe_contents

ARCH = os.environ["VELMAR_ARCH"]
BINDINGS = os.environ["VELMAR_BINDINGS_DIR"]
TIMEOUT = 120


def checked(command, cwd):
    result = subprocess.run(command, cwd=cwd, capture_output=True, text=True, timeout=TIMEOUT)
    if result.returncode:
        raise AssertionError(f"{command[0]} failed:\n{result.stdout}{result.stderr}")
    return result.stdout


def read_python(text, folder):
    path = os.path.join(folder, "velmar.py")
    with open(path, "w") as file:
        file.write(text)
    return declared.python(path, ARCH)


def read_csharp(text, folder):
    with open(os.path.join(folder, "Velmar.cs"), "w") as file:
        file.write(text)
    checked([os.environ["MCS"], "-target:library", "-out:Velmar.Bindings.dll", "Velmar.cs"],
            folder)
    reflected = checked([os.environ["MONO"], os.environ["VELMAR_REFLECT_BINDINGS"],
                         "Velmar.Bindings.dll"], folder)
    return declared.csharp(json.loads(reflected), ARCH)


def read_pascal(text, folder):
    with open(os.path.join(folder, "Velmar.pas"), "w") as file:
        file.write(text)
    units = os.environ["VELMAR_PASCAL_UNITS"]
    target = "-Twin64" if ARCH == "x64" else "-Twin32"
    checked([os.environ["VELMAR_PASCAL_COMPILER"], target, "-n", f"-Fu{units}", f"-FU{folder}",
             "Velmar.pas"], folder)
    return declared.pascal(os.path.join(folder, "Velmar.ppu"),
                           os.path.join(units, "system.ppu"), ARCH)


def read_vba(text, folder):
    return declared.vba(text, ARCH)


def read_vb6(text, folder):
    return declared.vba(text, ARCH, vba7=False)


# Each language's file and how its declarations are read; VB6 is the module's branch for
# VBA 6 and Visual Basic 6, which are 32-bit only.
LANGUAGES = {"Python": ("velmar.py", read_python), "C#": ("Velmar.cs", read_csharp),
             "Pascal": ("Velmar.pas", read_pascal), "VBA": ("Velmar.bas", read_vba)}
if ARCH == "x86":
    LANGUAGES["VB6"] = ("Velmar.bas", read_vb6)

# The mistakes of hand-written declarations: (language, mistake, text, text instead), each
# made once in the generated file.
MISTAKES = [
    ("Python", "product and vendor swapped", '("productId", "int32"), ("vendorId", "int32")',
     '("vendorId", "int32"), ("productId", "int32")'),
    ("Python", "records not packed", "        _pack_ = 1\n", ""),
    ("Python", "cdecl", "ctypes.WinDLL(path)", "ctypes.CDLL(path)"),
    ("C#", "product and vendor swapped", "int productId, int vendorId",
     "int vendorId, int productId"),
    ("C#", "records not packed", "LayoutKind.Sequential, Pack = 1", "LayoutKind.Sequential"),
    ("C#", "cdecl", "CallingConvention.StdCall", "CallingConvention.Cdecl"),
    ("C#", "HIDP_CAPS short of its 64 bytes", "SizeConst = 17", "SizeConst = 16"),
    ("C#", "BOOL as a one-byte bool", "[return: MarshalAs(UnmanagedType.Bool)]",
     "[return: MarshalAs(UnmanagedType.I1)]"),
    ("Pascal", "product and vendor swapped", "productId: Integer; vendorId: Integer",
     "vendorId: Integer; productId: Integer"),
    ("Pascal", "records not packed", "packed record", "record"),
    ("Pascal", "cdecl", "stdcall;", "cdecl;"),
    ("VBA", "product and vendor swapped", "ByVal productId As Long, ByVal vendorId As Long",
     "ByVal vendorId As Long, ByVal productId As Long"),
    ("VBA", "a string pointer as a padded LongPtr",
     "Product(0 To VELMAR_POINTER_WORDS - 1) As Integer", "Product As LongPtr"),
    ("VBA", "HIDP_CAPS short of its 64 bytes", "Reserved(0 To 17 - 1)", "Reserved(0 To 16 - 1)"),
    ("VBA", "cdecl", "Function HID_DeviceTest Lib", "Function HID_DeviceTest CDecl Lib"),
    ("VBA", "a line that ends in LF alone", "Option Explicit\r\n", "Option Explicit\n"),
    ("VBA", "the module's name not first", 'Attribute VB_Name = "Velmar"\r\n', ""),
]


class Bindings(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(os.path.join(BINDINGS, "model.json")) as file:
            cls.model = json.load(file)
        cls.exported = pe_contents.export_ordinals(os.environ["VELMAR_DLL"])
        cls.stack_bytes = agreement.decorations(os.environ["VELMAR_DEF"])

    def differences(self, language, text):
        with tempfile.TemporaryDirectory() as folder:
            found = LANGUAGES[language][1](text, folder)
        return agreement.differences(found, self.model, ARCH, self.exported, self.stack_bytes)

    def generated(self, language):
        """The file's text as it lies on disk, line ends and all."""
        with open(os.path.join(BINDINGS, LANGUAGES[language][0]), newline="") as file:
            return file.read()

    def test_every_language_agrees_with_the_header_and_the_dll(self):
        for language in LANGUAGES:
            with self.subTest(language):
                self.assertEqual(self.differences(language, self.generated(language)), [])

    def test_the_usual_mistakes_are_caught(self):
        for language, mistake, right, wrong in MISTAKES:
            with self.subTest(language=language, mistake=mistake):
                text = self.generated(language)
                self.assertIn(right, text)
                self.assertNotEqual(
                    self.differences(language, text.replace(right, wrong, 1)), [])


if __name__ == "__main__":
    unittest.main()
