"""The deliverable checks on small images built with the cross toolchain (samples.py).

A well-made sample of each deliverable passes every check; a sample made wrong in one known
way fails exactly the checks that name its fault, and nothing else; a file that is not a
PE32 image, or is cut off or damaged, fails cleanly and at once.
"""
import contextlib
import io
import os
import struct
import subprocess
import sys
import unittest

import pefile

import check_pe
import pe_contents
from samples import (DEVCMD_CODE, DEVCMD_LIBRARIES, LEDSIGNAL_CODE, LEDSIGNAL_LIBRARIES,
                     MANIFEST, PLATFORM_CODE, VELMAR_EXPORTS, VELMAR_VERSION_RC, Workshop,
                     program, velmar_dll)

HERE = os.path.dirname(os.path.abspath(__file__))
ORDINALS = "exactly the 16 names at ordinals 1-16 in order"
UNDECORATED = "export names undecorated (no '@', no leading '_')"
STRINGS = "exactly the 5 version strings"
TRANSLATION = "translation (0x0419, 1200)"
TABLE = "one string table 041904B0"
DEPENDENCY = "depends only on Microsoft.Windows.Common-Controls 6.0.0.0 win32 x86"
SHAPE = "manifest holds nothing else"
IDENTITY = "identity win32, 1.0.0.0, x86, any name"


def version_rc(old, new):
    changed = VELMAR_VERSION_RC.replace(old, new)
    assert changed != VELMAR_VERSION_RC, old
    return changed


def manifest(old, new):
    changed = MANIFEST.replace(old, new)
    assert changed != MANIFEST, old
    return changed


def imports_code(declaration, call):
    return "__declspec(dllimport) %s;\nint __stdcall Extra(void) { return (int)%s; }\n" % (
        declaration, call)


# (what is wrong, arguments of velmar_dll, the checks that must fail)
VELMAR_FAULTS = [
    ("nothing", {}, []),
    ("an extra export", {"exports": VELMAR_EXPORTS + ("HID_Extra",)}, [ORDINALS]),
    ("a missing export", {"exports": VELMAR_EXPORTS[:-1]}, [ORDINALS]),
    ("two exports swapped",
     {"exports": (VELMAR_EXPORTS[1], VELMAR_EXPORTS[0]) + VELMAR_EXPORTS[2:]}, [ORDINALS]),
    ("stdcall decorations", {"kill_at": False}, [UNDECORATED, ORDINALS]),
    ("a leading underscore", {"exports": ("_" + VELMAR_EXPORTS[0],) + VELMAR_EXPORTS[1:]},
     [UNDECORATED, ORDINALS]),
    ("an export that is data", {"data": ("HID_DeviceInfo",)},
     ["every export points into an executable section"]),
    ("a forwarded export", {"forwarded": ("HID_WriteDevice",)}, ["no forwarded exports"]),
    ("another name in the export directory", {"library": "Velmar32.dll"},
     ["export directory names Velmar.dll"]),
    ("an extra import DLL", {"extra_code": imports_code(
        "int __stdcall MessageBoxA(void *, const char *, const char *, unsigned)",
        'MessageBoxA(0, "", "", 0)'), "libraries": ["-luser32"]},
     ["imports only KERNEL32.dll, SETUPAPI.dll"]),
    ("hid.dll linked instead of loaded", {"extra_code": imports_code(
        "void __stdcall HidD_GetHidGuid(void *)", "(HidD_GetHidGuid(0), 0)"),
        "libraries": ["-lhid"]}, ["imports only KERNEL32.dll, SETUPAPI.dll", "nothing of hid.dll"]),
    ("a KERNEL32 function beyond the list", {"extra_code": imports_code(
        "unsigned __stdcall GetTickCount(void)", "GetTickCount()")},
     ["KERNEL32.dll imports only functions from its list"]),
    ("a SETUPAPI function missing",
     {"platform": PLATFORM_CODE.replace("SetupDiDestroyDeviceInfoList(set) && ", "")},
     ["SETUPAPI.dll imports exactly SetupDiDestroyDeviceInfoList, SetupDiGetClassDevsA"]),
    ("a newer OS version", {"flags": ["-Wl,--minor-os-version,1"]}, ["OS version 4.0"]),
    ("the Pentium Pro's cmov", {"extra_code": "int __stdcall Newer(int a, int b) "
                                "{ __asm__(\"cmovl %1, %0\" : \"+r\"(a) : \"r\"(b)); return a; }"},
     ["no instruction newer than the i486"]),
    ("an SSE register", {"extra_code": "void __stdcall Newer(void) "
                         "{ __asm__ volatile(\"xorps %xmm0, %xmm0\"); }"},
     ["no instruction newer than the i486"]),
    ("Windows 2000's versions", {"flags": ["-Wl,--major-os-version,5",
                                           "-Wl,--major-subsystem-version,5"]},
     ["OS version 4.0", "subsystem version 4.0"]),
    ("a time stamp", {"flags": ["-Wl,--insert-timestamp"],
                      "environment": {"SOURCE_DATE_EPOCH": "1234567890"}},
     ["file header timestamp 0"]),
    ("no version resource", {"version_rc": None}, ["one RT_VERSION resource"]),
    ("two version resources", {"version_rc": VELMAR_VERSION_RC + VELMAR_VERSION_RC.split(
        "\n", 1)[1].replace("0x19, 0x01", "0x09, 0x01")}, ["one RT_VERSION resource"]),
] + [("version resource: " + new.strip(), {"version_rc": version_rc(old, new)}, failures)
     for old, new, failures in [
    ('"FileVersion", "1.4"', '"FileVersion", "1.5"', [STRINGS]),
    ('"Velmar.dll"', '"velmar.dll"', [STRINGS]),
    ('"Velmar"\n', '"Velmar"\n            VALUE "CompanyName", "Velmar"\n', [STRINGS]),
    ('"Velmar"\n', '"Velmar"\n            VALUE "ProductName", "Velmar"\n', [STRINGS]),
    ('"ProductVersion", "1.4"\n',
     '"ProductVersion", "1.4"\n            VALUE "FileVersion", "1.4"\n', [STRINGS]),
    ('            VALUE "ProductVersion", "1.4"\n', '', [STRINGS]),
    ("FILEVERSION 1, 2, 0, 0", "FILEVERSION 1, 2, 0, 1", ["file version 1.2.0.0"]),
    ("PRODUCTVERSION 1, 2, 0, 0", "PRODUCTVERSION 1, 4, 0, 0", ["product version 1.2.0.0"]),
    ("FILEOS 0x40004", "FILEOS 0x4", ["dwFileOS 0x00040004"]),
    ("FILETYPE 2", "FILETYPE 1", ["dwFileType 2"]),
    ("FILESUBTYPE 0", "FILESUBTYPE 1", ["dwFileSubtype 0"]),
    ("FILEFLAGS 0", "FILEFLAGS 0x20", ["dwFileFlags 0"]),
    ("LANGUAGE 0x19, 0x01", "LANGUAGE 0x09, 0x01", ["version resource language 0x0419"]),
    ("0x0419, 1200", "0x0419, 1251", [TRANSLATION]),
    ("0x0419, 1200", "0x0419, 1200, 0x0409, 1200", [TRANSLATION]),
    ("0x0419, 1200", "0x0409, 1200, 0x0419, 1200", [TRANSLATION]),
    ('BLOCK "041904B0"', 'BLOCK "040904B0"', [TABLE, STRINGS]),
    ('    END\n    BLOCK "VarFileInfo"', '        BLOCK "040904B0"\n        BEGIN\n'
     '        END\n    END\n    BLOCK "VarFileInfo"', [TABLE]),
]]

# (what is wrong, kind, arguments of program, the checks that must fail)
PROGRAM_FAULTS = [
    ("nothing", "devcmd", {}, []),
    ("nothing", "ledsignal", {"code": LEDSIGNAL_CODE, "libraries": LEDSIGNAL_LIBRARIES}, []),
    ("the other program's imports", "devcmd",
     {"code": LEDSIGNAL_CODE, "libraries": LEDSIGNAL_LIBRARIES},
     ["imports only KERNEL32.dll, USER32.dll", "KERNEL32.dll imports only functions from its list",
      "USER32.dll imports only functions from its list"]),
    ("a console program", "devcmd", {"subsystem": "console"}, ["GUI subsystem (2), no console"]),
    ("an extra import DLL", "devcmd", {"code": DEVCMD_CODE + imports_code(
        "unsigned __stdcall timeBeginPeriod(unsigned)", "timeBeginPeriod(1)"),
        "libraries": DEVCMD_LIBRARIES + ["-lwinmm"]}, ["imports only KERNEL32.dll, USER32.dll"]),
    ("a WINMM function beyond the list", "ledsignal", {"code": LEDSIGNAL_CODE + imports_code(
        "unsigned __stdcall timeGetTime(void)", "timeGetTime()"),
        "libraries": LEDSIGNAL_LIBRARIES}, ["WINMM.dll imports only functions from its list"]),
    ("an export", "devcmd",
     {"code": DEVCMD_CODE + "__declspec(dllexport) int Visible(void) { return 1; }\n"},
     ["no exports"]),
    ("no manifest", "devcmd", {"manifest": None}, ["one RT_MANIFEST resource, ID 1"]),
    ("the manifest under ID 2", "devcmd", {"manifest_ids": (2,)},
     ["one RT_MANIFEST resource, ID 1"]),
    ("two manifests", "devcmd", {"manifest_ids": (1, 2)}, ["one RT_MANIFEST resource, ID 1"]),
] + [("manifest: " + new, "devcmd", {"manifest": manifest(old, new)}, failures)
     for old, new, failures in [
    ("</assembly>", '<trustInfo xmlns="urn:schemas-microsoft-com:asm.v3"/></assembly>', [SHAPE]),
    ("</assembly>", '<compatibility xmlns="urn:schemas-microsoft-com:compatibility.v1"/>'
     '</assembly>', [SHAPE]),
    ("<dependency>", "<noInherit/><dependency>", [SHAPE]),
    ("</dependentAssembly>", '<file name="x.dll"/></dependentAssembly>', [SHAPE]),
    ("</dependency>", "text</dependency>", [SHAPE]),
    ('version="1.0.0.0"', 'version="1.0.0.1"', [IDENTITY]),
    ('version="1.0.0.0"', 'version="1.0.0.0" language="*"', [IDENTITY, SHAPE]),
    ('version="6.0.0.0"', 'version="5.82.0.0"', [DEPENDENCY]),
    ('6.0.0.0" processorArchitecture="x86"', '6.0.0.0" processorArchitecture="*"',
     [DEPENDENCY]),
    ("</assembly>", MANIFEST[MANIFEST.index("  <dependency>"):], [DEPENDENCY, SHAPE]),
    ('manifestVersion="1.0"', 'manifestVersion="2.0"',
     ["manifest is an asm.v1 assembly, manifestVersion 1.0"]),
    ("</assembly>", "</assembly", ["manifest parses as XML"]),
]]


def failed_checks(kind, path):
    """The names of the checks that failed, read from the printed report."""
    output = io.StringIO()
    with contextlib.redirect_stdout(output):
        failed = check_pe.check(kind, path)
    lines = output.getvalue().splitlines()
    names = {line[5:].split(": ", 1)[0] for line in lines if line.startswith("FAIL ")}
    if len(names) != failed:
        raise AssertionError("%d failures counted, %d printed:\n%s"
                             % (failed, len(names), "\n".join(lines)))
    return names


def run_checks(*arguments):
    # The bound is part of the test: no file may make the checks hang.
    return subprocess.run([sys.executable, os.path.join(HERE, "check_pe.py")] + list(arguments),
                          capture_output=True, text=True, timeout=30)


class Checks(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.workshop = Workshop()
        # Unlike tearDownClass, this also runs when building a sample fails.
        cls.addClassCleanup(cls.workshop.cleanup)

    def test_velmar_samples(self):
        for fault, arguments, failures in VELMAR_FAULTS:
            with self.subTest(fault=fault):
                self.assertEqual(failed_checks("velmar", velmar_dll(self.workshop, **arguments)),
                                 set(failures))

    def test_program_samples(self):
        for fault, kind, arguments, failures in PROGRAM_FAULTS:
            with self.subTest(kind=kind, fault=fault):
                self.assertEqual(failed_checks(kind, program(self.workshop, **arguments)),
                                 set(failures))
        self.assertIn("a DLL", failed_checks("velmar", program(self.workshop)))

    def write(self, name, data):
        path = os.path.join(self.workshop.folder, name)
        with open(path, "wb") as file:
            file.write(data)
        return path

    def test_files_that_are_not_whole_images_fail_cleanly(self):
        with open(velmar_dll(self.workshop), "rb") as file:
            good = file.read()
        image = pefile.PE(data=good, fast_load=True)
        as_pe32_plus = bytearray(good)
        struct.pack_into("<H", as_pe32_plus, image.DOS_HEADER.e_lfanew + 24, 0x20B)
        cut = [good[:length] for length in (0, 2, 0x40, 300, len(good) // 2, len(good) - 1)]
        for data in cut + [b"#!/bin/sh\n", bytes(as_pe32_plus)]:
            with self.subTest(start=data[:4], length=len(data)):
                result = run_checks("velmar", self.write("broken.dll", data))
                self.assertEqual((result.returncode, result.stderr), (1, ""))
                self.assertIn("FAIL a readable PE32 image", result.stdout)

    def test_a_damaged_export_directory_fails_its_checks(self):
        with open(velmar_dll(self.workshop), "rb") as file:
            damaged = bytearray(file.read())
        image = pefile.PE(data=bytes(damaged), fast_load=True)
        exports = image.OPTIONAL_HEADER.DATA_DIRECTORY[0].VirtualAddress
        # The count of functions becomes far larger than the section that holds them.
        struct.pack_into("<I", damaged, image.get_offset_from_rva(exports) + 20, 0x10000000)
        result = run_checks("velmar", self.write("damaged.dll", bytes(damaged)))
        self.assertEqual((result.returncode, result.stderr), (1, ""))
        self.assertIn("FAIL " + ORDINALS, result.stdout)

    def test_exit_status(self):
        good = velmar_dll(self.workshop)
        passed = run_checks("velmar", good)
        self.assertEqual(passed.returncode, 0, passed.stdout)
        self.assertNotIn("FAIL", passed.stdout)
        failed = run_checks("devcmd", good)
        self.assertEqual(failed.returncode, 1)
        self.assertIn("FAIL a program, not a DLL: found a DLL, expected a program", failed.stdout)
        self.assertEqual(run_checks("velmar", good + ".missing").returncode, 1)
        self.assertEqual(run_checks("library", good).returncode, 2)
        self.assertEqual(run_checks("velmar").returncode, 2)


# Three ARM64 exports: a leaf, a thunk that branches on to another function, and a function
# with a frame of its own that calls.
ARM64_CODE = r"""
__attribute__((noinline)) void Callee(volatile int *x) { *x = 1; }
__declspec(dllexport) int Leaf(int a) { return a + 1; }
__declspec(dllexport) void Thunk(volatile int *x) { Callee(x); }
__declspec(dllexport) int Framed(int a) { volatile int x[8]; x[a & 7] = a; Callee(x); return x[0]; }
int Entry(void *a, unsigned b, void *c) { (void)a; (void)b; (void)c; return 1; }
"""
UNWIND = "every function that calls or moves the stack pointer has unwind data"


class Arm64UnwindRule(unittest.TestCase):
    """ARM64's rule, on DLLs that clang builds: a function that calls or moves the stack
    pointer has a function entry; a leaf, and a thunk that only branches on, need none."""

    def unwind_failures(self, workshop, *flags):
        path = workshop.build("sample.dll", {"sample.c": ARM64_CODE}, [
            "--target=aarch64-w64-mingw32", "-fuse-ld=lld", "-nostdlib", "-shared", "-O2",
            "-Wl,-e,Entry", *flags], compiler="clang-14")
        image = pe_contents.load(path, pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS)
        output = io.StringIO()
        with contextlib.redirect_stdout(output):
            check_pe.check_unwind_data(path, image, None, check_pe.Report())
        return [line for line in output.getvalue().splitlines() if line.startswith("FAIL")]

    def test_framed_functions_need_entries_and_leaves_do_not(self):
        workshop = Workshop()
        self.addCleanup(workshop.cleanup)
        self.assertEqual(self.unwind_failures(workshop), [])
        failures = self.unwind_failures(workshop, "-fno-unwind-tables",
                                        "-fno-asynchronous-unwind-tables")
        self.assertEqual([line.split(":")[0] for line in failures], ["FAIL " + UNWIND])


if __name__ == "__main__":
    unittest.main()
