"""Tests of the PE reader and of the deliverable checks.

Every image is built here with the cross toolchain (PE_CHECKS_GCC and PE_CHECKS_WINDRES
name it; CTest passes the configured compilers). A well-made sample of each deliverable
must pass every check; a sample made wrong in one known way must fail exactly the checks
that name its fault, and nothing else.
"""
import contextlib
import io
import itertools
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest

import check_pe
from pe_image import PeError, PeImage, parse_manifest, parse_version_info

GCC = os.environ.get("PE_CHECKS_GCC", "i686-w64-mingw32-gcc")
WINDRES = os.environ.get("PE_CHECKS_WINDRES", "i686-w64-mingw32-windres")
HERE = os.path.dirname(os.path.abspath(__file__))

# Link options of a well-made deliverable: no runtime, no time stamp, Windows 2000 on.
WELL_MADE = ["-nostdlib", "-s", "-Wl,--no-insert-timestamp",
             "-Wl,--major-os-version,5", "-Wl,--minor-os-version,0",
             "-Wl,--major-subsystem-version,5", "-Wl,--minor-subsystem-version,0"]


class Workshop:
    """A temporary folder in which samples are compiled, each build in its own folder."""

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="pe_checks_")
        self.builds = itertools.count()

    def cleanup(self):
        shutil.rmtree(self.folder)

    def build(self, output, files, flags, environment=None):
        """files: {name: text or bytes}; .rc files go through windres first."""
        folder = os.path.join(self.folder, str(next(self.builds)))
        os.mkdir(folder)
        for name, content in files.items():
            with open(os.path.join(folder, name), "wb") as file:
                file.write(content if isinstance(content, bytes) else content.encode("utf-8"))
        inputs = []
        for name in files:
            path = os.path.join(folder, name)
            if name.endswith(".rc"):
                subprocess.run([WINDRES, "-c", "65001", "-I", folder, path, "-O", "coff",
                                "-o", path + ".o"], check=True, cwd=folder)
                inputs.append(path + ".o")
            elif name.endswith((".c", ".def")):
                inputs.append(path)
        target = os.path.join(folder, output)
        env = dict(os.environ, **(environment or {}))
        subprocess.run([GCC, "-o", target] + inputs + flags, check=True, cwd=folder, env=env)
        return target


VELMAR_EXPORTS = check_pe.VELMAR.exports

# What the library needs of the platform: the two SetupAPI functions and one of kernel32.
PLATFORM_CODE = """
typedef void *HANDLE;
__declspec(dllimport) HANDLE __stdcall SetupDiGetClassDevsA(const void *, const char *,
                                                            HANDLE, unsigned);
__declspec(dllimport) int __stdcall SetupDiDestroyDeviceInfoList(HANDLE);
__declspec(dllimport) int __stdcall CloseHandle(HANDLE);
int __stdcall DllMain(HANDLE module, unsigned reason, void *reserved) { return 1; }
int __stdcall WalkDevices(void)
{
    HANDLE set = SetupDiGetClassDevsA(0, 0, 0, 0x12);
    return SetupDiDestroyDeviceInfoList(set) && CloseHandle(set);
}
"""

VELMAR_VERSION_RC = """#pragma code_page(65001)
LANGUAGE 0x19, 0x01
1 VERSIONINFO
FILEVERSION 1, 2, 0, 0
PRODUCTVERSION 1, 2, 0, 0
FILEFLAGSMASK 0x3F
FILEFLAGS 0
FILEOS 0x40004
FILETYPE 2
FILESUBTYPE 0
BEGIN
    BLOCK "StringFileInfo"
    BEGIN
        BLOCK "041904B0"
        BEGIN
            VALUE "FileVersion", "1.4"
            VALUE "ProductVersion", "1.4"
            VALUE "FileDescription", "Поддержка USB HID устройств"
            VALUE "ProductName", "Velmar"
            VALUE "OriginalFilename", "Velmar.dll"
        END
    END
    BLOCK "VarFileInfo"
    BEGIN
        VALUE "Translation", 0x0419, 1200
    END
END
"""

MANIFEST = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <assemblyIdentity type="win32" name="Sample.program" version="1.0.0.0"
                    processorArchitecture="x86"/>
  <dependency>
    <dependentAssembly>
      <assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls"
                        version="6.0.0.0" processorArchitecture="x86"
                        publicKeyToken="6595b64144ccf1df" language="*"/>
    </dependentAssembly>
  </dependency>
</assembly>
"""

DEVCMD_CODE = """
__declspec(dllimport) void __stdcall ExitProcess(unsigned);
__declspec(dllimport) int __stdcall MessageBoxA(void *, const char *, const char *, unsigned);
void ProgramStart(void) { MessageBoxA(0, "", "", 0); ExitProcess(0); }
"""
DEVCMD_LIBRARIES = ["-lkernel32", "-luser32"]

LEDSIGNAL_CODE = """
__declspec(dllimport) void __stdcall ExitProcess(unsigned);
__declspec(dllimport) void __stdcall Sleep(unsigned);
__declspec(dllimport) short __stdcall GetKeyState(int);
__declspec(dllimport) void __stdcall keybd_event(unsigned char, unsigned char, unsigned,
                                                 unsigned long);
__declspec(dllimport) unsigned __stdcall timeBeginPeriod(unsigned);
void ProgramStart(void)
{
    timeBeginPeriod(1);
    keybd_event(0x91, 0, 0, 0);
    Sleep(GetKeyState(0x91));
    ExitProcess(0);
}
"""
LEDSIGNAL_LIBRARIES = ["-lkernel32", "-luser32", "-lwinmm"]


def velmar_dll(workshop, exports=VELMAR_EXPORTS, library="Velmar.dll", kill_at=True,
               data=(), forwarded=(), platform=PLATFORM_CODE, extra_code="", libraries=(),
               version_rc=VELMAR_VERSION_RC, flags=(), environment=None):
    """A library shaped like Velmar.dll: stdcall exports named through a .def file."""
    code = [platform, extra_code]
    definition = ["LIBRARY " + library, "EXPORTS"]
    for ordinal, name in enumerate(exports, start=1):
        if name in forwarded:
            definition.append("    %s = KERNEL32.WriteFile @%d" % (name, ordinal))
        elif name in data:
            code.append("int %s = %d;" % (name, ordinal))
            definition.append("    %s @%d DATA" % (name, ordinal))
        else:
            # Distinct bodies, so that no two exports could share an address.
            code.append("int __stdcall %s(int a) { return a + %d; }" % (name, ordinal))
            definition.append("    %s@4 @%d" % (name, ordinal))
    files = {"library.c": "\n".join(code), "library.def": "\n".join(definition) + "\n"}
    if version_rc:
        files["version.rc"] = version_rc
    link = WELL_MADE + ["-shared", "-Wl,--entry,_DllMain@12"] + list(flags)
    if kill_at:
        link.append("-Wl,--kill-at")
    return workshop.build("Velmar.dll", files,
                          link + ["-lkernel32", "-lsetupapi"] + list(libraries), environment)


def program(workshop, code=DEVCMD_CODE, libraries=DEVCMD_LIBRARIES, manifest=MANIFEST,
            manifest_ids=(1,), subsystem="windows", flags=()):
    files = {"program.c": code}
    if manifest is not None:
        files["program.manifest"] = manifest
        files["program.rc"] = "".join('%d 24 "program.manifest"\n' % resource_id
                                      for resource_id in manifest_ids)
    return workshop.build("program.exe", files, WELL_MADE + [
        "-Wl,--entry,_ProgramStart", "-Wl,--subsystem," + subsystem] + list(flags) + libraries)


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


class WorkshopTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.workshop = Workshop()
        # Unlike tearDownClass, this also runs when building the samples fails.
        cls.addClassCleanup(cls.workshop.cleanup)


class ReaderOnKnownImages(WorkshopTest):
    """The reader against images whose every relevant field was chosen when building."""

    SAMPLE_DEF = """LIBRARY sample.dll
EXPORTS
    First@4 @3
    Second@4 @5
    Hidden@4 @7 NONAME
    Forwarded = KERNEL32.Sleep @9
    Value @10 DATA
"""
    SAMPLE_CODE = """
int __stdcall DllMain(void *module, unsigned reason, void *reserved) { return 1; }
int __stdcall First(int a) { return a + 1; }
int __stdcall Second(int a) { return a + 2; }
int __stdcall Hidden(int a) { return a + 3; }
int Value = 5;
"""
    SAMPLE_RC = """#pragma code_page(65001)
LANGUAGE 0x19, 0x01
1 VERSIONINFO
FILEVERSION 1, 2, 3, 4
PRODUCTVERSION 5, 6, 7, 8
FILEFLAGSMASK 0x3F
FILEFLAGS 0x2
FILEOS 0x40004
FILETYPE 0x1
FILESUBTYPE 0x7
BEGIN
    BLOCK "StringFileInfo"
    BEGIN
        BLOCK "040904B0"
        BEGIN
            VALUE "Comments", ""
            VALUE "ProductName", "Sample"
        END
        BLOCK "041904B0"
        BEGIN
            VALUE "FileDescription", "Проба пера"
            VALUE "ProductName", "Образец"
        END
    END
    BLOCK "VarFileInfo"
    BEGIN
        VALUE "Translation", 0x0409, 1200, 0x0419, 1251
    END
END
LANGUAGE 0x07, 0x01
7 RCDATA "numbered.bin"
LANGUAGE 0x19, 0x01
BLOB RCDATA "named.bin"
2 24 "sample.manifest"
"""
    NUMBERED = bytes(range(256)) + b"\0\0\xff"
    NAMED = "только байты".encode("utf-8")

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.sample_path = cls.workshop.build("sample.dll", {
            "sample.c": cls.SAMPLE_CODE, "sample.def": cls.SAMPLE_DEF,
            "sample.rc": cls.SAMPLE_RC, "numbered.bin": cls.NUMBERED, "named.bin": cls.NAMED,
            "sample.manifest": MANIFEST},
            ["-shared", "-nostdlib", "-s", "-Wl,--entry,_DllMain@12", "-Wl,--kill-at",
             "-Wl,--insert-timestamp", "-Wl,--dynamicbase", "-Wl,--nxcompat",
             "-Wl,--major-os-version,6", "-Wl,--minor-os-version,1",
             "-Wl,--major-subsystem-version,5", "-Wl,--minor-subsystem-version,2"],
            {"SOURCE_DATE_EPOCH": "1234567890"})
        cls.sample = PeImage.load(cls.sample_path)
        # Two providers, one exporting by ordinal only, give the consumer a DLL order
        # that is neither alphabetical nor the order of the link command.
        providers = []
        cls.provider_paths = {}
        for name, noname in (("zeta", ""), ("alpha", " NONAME")):
            path = cls.workshop.build(name + ".dll", {
                name + ".c": "int %s_value(void) { return 1; }\n" % name,
                name + ".def": "LIBRARY %s.dll\nEXPORTS\n    %s_value @3%s\n" % (
                    name, name, noname)},
                ["-shared", "-nostdlib", "-Wl,--entry,0",
                 "-Wl,--out-implib," + name + ".a"])
            cls.provider_paths[name] = path
            providers.append(os.path.join(os.path.dirname(path), name + ".a"))
        cls.consumer_path = cls.workshop.build("consumer.exe", {"consumer.c": """
__declspec(dllimport) void __stdcall ExitProcess(unsigned);
__declspec(dllimport) void __stdcall Sleep(unsigned);
__declspec(dllimport) int __stdcall MessageBoxA(void *, const char *, const char *, unsigned);
int zeta_value(void);
int alpha_value(void);
void ProgramStart(void)
{
    Sleep(zeta_value() + alpha_value());
    MessageBoxA(0, "", "", 0);
    ExitProcess(0);
}
"""}, WELL_MADE + ["-Wl,--entry,_ProgramStart", "-Wl,--subsystem,console",
                   "-Wl,--disable-dynamicbase", "-Wl,--disable-nxcompat"]
            + providers + ["-luser32", "-lkernel32"])
        cls.consumer = PeImage.load(cls.consumer_path)

    def test_file_and_optional_headers(self):
        self.assertEqual(self.sample.machine, 0x14C)
        self.assertTrue(self.sample.is_dll)
        self.assertFalse(self.consumer.is_dll)
        self.assertEqual(self.sample.timestamp, 1234567890)
        self.assertEqual(self.consumer.timestamp, 0)
        self.assertEqual(self.sample.os_version, (6, 1))
        self.assertEqual(self.sample.subsystem_version, (5, 2))
        self.assertEqual(self.consumer.os_version, (5, 0))
        self.assertEqual(self.consumer.subsystem, 3)
        self.assertEqual(PeImage.load(program(self.workshop)).subsystem, 2)
        # DYNAMIC_BASE 0x40 and NX_COMPAT 0x100
        self.assertEqual(self.sample.dll_characteristics & 0x140, 0x140)
        self.assertEqual(self.consumer.dll_characteristics & 0x140, 0)

    def test_sections(self):
        entry = self.consumer.section_at(self.consumer.entry_point)
        self.assertEqual((entry.name, entry.executable), (".text", True))
        sections = {section.name: section for section in self.sample.sections}
        self.assertFalse(sections[".data"].executable)
        self.assertFalse(sections[".rsrc"].executable)

    def test_exports_by_name_by_ordinal_forwarded_and_data(self):
        exports = self.sample.exports()
        self.assertEqual(exports.dll_name, "sample.dll")
        self.assertEqual(exports.ordinal_base, 3)
        self.assertEqual([(e.ordinal, e.name, e.forwarder) for e in exports.entries], [
            (3, "First", None), (5, "Second", None), (7, None, None),
            (9, "Forwarded", "KERNEL32.Sleep"), (10, "Value", None)])
        executable = {e.ordinal: self.sample.section_at(e.rva).executable
                      for e in exports.entries if not e.forwarder}
        self.assertEqual(executable, {3: True, 5: True, 7: True, 10: False})
        self.assertIsNone(self.consumer.exports())

    def test_exports_without_names_may_leave_the_name_arrays_at_address_0(self):
        with open(self.provider_paths["alpha"], "rb") as file:
            data = bytearray(file.read())
        image = PeImage(bytes(data))
        rva, _ = image.directories[0]
        section = image.section_at(rva)
        directory = section.raw_offset + rva - section.virtual_address
        self.assertEqual(struct.unpack_from("<I", data, directory + 24)[0], 0)  # no names
        struct.pack_into("<II", data, directory + 32, 0, 0)
        exports = PeImage(bytes(data)).exports()
        self.assertEqual([(e.ordinal, e.name) for e in exports.entries], [(3, None)])

    def test_imports_by_name_and_by_ordinal_in_table_order(self):
        imports = self.consumer.imports()
        self.assertEqual({i.dll: sorted(i.functions) for i in imports}, {
            "KERNEL32.dll": ["ExitProcess", "Sleep"], "USER32.dll": ["MessageBoxA"],
            "zeta.dll": ["zeta_value"], "alpha.dll": ["#3"]})
        # The order of the table is whatever the linker chose; objdump reads it too.
        objdump = subprocess.run([GCC, "-print-prog-name=objdump"], capture_output=True,
                                 text=True, check=True).stdout.strip()
        listing = subprocess.run([objdump, "-p", self.consumer_path], capture_output=True,
                                 text=True, check=True).stdout
        order = [line.split("DLL Name:")[1].strip() for line in listing.splitlines()
                 if "DLL Name:" in line]
        self.assertEqual([i.dll for i in imports], order)
        self.assertEqual(self.sample.imports(), [])

    def test_resource_tree_types_names_languages_and_data(self):
        resources = self.sample.resources()
        found = {(r.type, r.name, r.language) for r in resources}
        self.assertEqual(found, {(16, 1, 0x0419), (10, 7, 0x0407), (10, "BLOB", 0x0419),
                                 (24, 2, 0x0419)})
        data = {(r.type, r.name): r.data for r in resources}
        self.assertEqual(data[10, 7], self.NUMBERED)
        self.assertEqual(data[10, "BLOB"], self.NAMED)
        self.assertEqual(parse_manifest(data[24, 2]).get("manifestVersion"), "1.0")
        self.assertEqual(self.consumer.resources(), [])

    def test_version_resource(self):
        block = next(r.data for r in self.sample.resources() if r.type == 16)
        info = parse_version_info(block)
        self.assertEqual(info.fixed.file_version, (1, 2, 3, 4))
        self.assertEqual(info.fixed.product_version, (5, 6, 7, 8))
        self.assertEqual((info.fixed.flags_mask, info.fixed.flags, info.fixed.os,
                          info.fixed.type, info.fixed.subtype), (0x3F, 0x2, 0x40004, 1, 7))
        self.assertEqual(info.string_tables, {
            "040904B0": [("Comments", ""), ("ProductName", "Sample")],
            "041904B0": [("FileDescription", "Проба пера"), ("ProductName", "Образец")]})
        self.assertEqual(info.translations, [(0x0409, 1200), (0x0419, 1251)])


def read_everything(data):
    """Everything the checks read of an image, so that damage anywhere is reached."""
    image = PeImage(data)
    image.exports()
    image.imports()
    for resource in image.resources():
        if resource.type == 16:
            parse_version_info(resource.data)


def refused_or_read(read, data):
    """Only PeError may come out of damaged data; anything else fails the test."""
    try:
        read(data)
    except PeError:
        pass


class ReaderOnDamagedImages(WorkshopTest):
    """A damaged image must raise PeError, quickly; any other exception, or a hang that
    the time limit of the test stops, is a fault of the reader."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        with open(velmar_dll(cls.workshop), "rb") as file:
            cls.good = file.read()
        cls.image = PeImage(cls.good)

    def test_not_an_image_at_all(self):
        for data in (b"", b"MZ", b"#!/bin/sh\n", self.good[:0x40]):
            with self.subTest(data=data[:10]):
                with self.assertRaises(PeError):
                    PeImage(data)

    def test_a_64_bit_image_is_refused_by_name(self):
        data = bytearray(self.good)
        optional = struct.unpack_from("<I", data, 0x3C)[0] + 24
        struct.pack_into("<H", data, optional, 0x20B)
        with self.assertRaisesRegex(PeError, "PE32\\+"):
            PeImage(bytes(data))

    def test_every_truncation(self):
        end_of_sections = max(s.raw_offset + s.raw_size for s in self.image.sections)
        for length in range(end_of_sections):
            with self.assertRaises(PeError, msg="cut at %d" % length):
                read_everything(self.good[:length])

    def test_random_damage_to_headers_and_directories(self):
        regions = [(0, 0x400)]
        for index in (0, 1, 2):
            rva, size = self.image.directories[index]
            section = self.image.section_at(rva)
            start = section.raw_offset + rva - section.virtual_address
            regions.append((start, start + size))
        rng = random.Random(20240611)
        started = time.monotonic()
        for _ in range(3000):
            data = bytearray(self.good)
            for _ in range(rng.randint(1, 4)):
                start, end = rng.choice(regions)
                data[rng.randrange(start, end)] = rng.choice((0, 0xFF, rng.randrange(256)))
            refused_or_read(read_everything, bytes(data))
        self.assertLess(time.monotonic() - started, 60)

    def test_a_string_ends_with_its_section(self):
        section = self.image.sections[0]
        data = bytearray(self.good)
        data[section.raw_offset + section.raw_size - 1] = ord("A")
        with self.assertRaises(PeError):
            PeImage(bytes(data)).read_string(section.virtual_address + section.raw_size - 1)

    def test_a_resource_directory_that_leads_back_to_the_root(self):
        rva, _ = self.image.directories[2]
        section = self.image.section_at(rva)
        root = section.raw_offset + rva - section.virtual_address
        type_directory = root + (struct.unpack_from("<I", self.good, root + 20)[0] & 0x7FFFFFFF)
        data = bytearray(self.good)
        # The first name entry under the first type now points at the root directory.
        struct.pack_into("<I", data, type_directory + 20, 0x80000000)
        with self.assertRaises(PeError):
            PeImage(bytes(data)).resources()

    def test_damaged_version_blocks(self):
        block = next(r.data for r in self.image.resources() if r.type == 16)
        # The root key "VS_VERSION_INFO" and the 52-byte fixed part put the first child
        # (StringFileInfo) at offset 92.
        self.assertEqual(block[98:126].decode("utf-16-le"), "StringFileInfo")
        for where, value in ((0, 0), (0, 5), (0, len(block) + 4), (92, 0), (92, 3),
                             (92, 0xFFFF), (2, 60), (2, 0xFFFF)):
            with self.subTest(offset=where, value=value):
                data = bytearray(block)
                struct.pack_into("<H", data, where, value)
                with self.assertRaises(PeError):
                    parse_version_info(bytes(data))
        # Keys without their terminator run into the rest of the block.
        data = bytearray(block)
        data[6:len(block)] = b"\x41\x00" * ((len(block) - 6) // 2)
        with self.assertRaises(PeError):
            parse_version_info(bytes(data))
        rng = random.Random(7)
        for _ in range(3000):
            data = bytearray(block)
            for _ in range(rng.randint(1, 3)):
                data[rng.randrange(len(data))] = rng.randrange(256)
            refused_or_read(parse_version_info, bytes(data))

    def test_version_nodes_nested_thousands_deep(self):
        # Each node: a 6-byte header, the key "A" and its terminator, then its only child.
        block = b""
        for _ in range(5000):
            child = b"\0\0" + block if block else b""
            block = struct.pack("<HHH", 10 + len(child), 0, 1) + "A\0".encode("utf-16-le") + child
        with self.assertRaises(PeError):
            parse_version_info(block)

    def test_a_manifest_that_is_not_xml(self):
        with self.assertRaises(PeError):
            parse_manifest(b"<assembly><dependency></assembly>")


class VelmarChecks(WorkshopTest):
    def assert_fails(self, path, expected):
        self.assertEqual(failed_checks("velmar", path), set(expected))

    def test_a_well_made_library_passes(self):
        self.assert_fails(velmar_dll(self.workshop), [])

    def test_an_extra_export(self):
        self.assert_fails(velmar_dll(self.workshop, exports=VELMAR_EXPORTS + ("HID_Extra",)),
                          ["exactly the 16 names at ordinals 1-16 in order"])

    def test_a_missing_export_or_one_out_of_order(self):
        self.assert_fails(velmar_dll(self.workshop, exports=VELMAR_EXPORTS[:-1]),
                          ["exactly the 16 names at ordinals 1-16 in order"])
        swapped = (VELMAR_EXPORTS[1], VELMAR_EXPORTS[0]) + VELMAR_EXPORTS[2:]
        self.assert_fails(velmar_dll(self.workshop, exports=swapped),
                          ["exactly the 16 names at ordinals 1-16 in order"])

    def test_decorated_names(self):
        self.assert_fails(velmar_dll(self.workshop, kill_at=False),
                          ["export names undecorated (no '@', no leading '_')",
                           "exactly the 16 names at ordinals 1-16 in order"])
        underscored = ("_" + VELMAR_EXPORTS[0],) + VELMAR_EXPORTS[1:]
        self.assert_fails(velmar_dll(self.workshop, exports=underscored),
                          ["export names undecorated (no '@', no leading '_')",
                           "exactly the 16 names at ordinals 1-16 in order"])

    def test_an_export_that_is_data(self):
        self.assert_fails(velmar_dll(self.workshop, data=("HID_DeviceInfo",)),
                          ["every export points into an executable section"])

    def test_a_forwarded_export(self):
        self.assert_fails(velmar_dll(self.workshop, forwarded=("HID_WriteDevice",)),
                          ["no forwarded exports"])

    def test_another_name_in_the_export_directory(self):
        self.assert_fails(velmar_dll(self.workshop, library="Velmar32.dll"),
                          ["export directory names Velmar.dll"])

    def test_an_extra_import_dll(self):
        self.assert_fails(velmar_dll(self.workshop, extra_code="""
__declspec(dllimport) int __stdcall MessageBoxA(void *, const char *, const char *, unsigned);
int __stdcall Complain(void) { return MessageBoxA(0, "", "", 0); }
""", libraries=["-luser32"]), ["imports only KERNEL32.dll, SETUPAPI.dll"])

    def test_hid_linked_instead_of_loaded(self):
        self.assert_fails(velmar_dll(self.workshop, extra_code="""
__declspec(dllimport) void __stdcall HidD_GetHidGuid(void *);
void __stdcall Guid(void *guid) { HidD_GetHidGuid(guid); }
""", libraries=["-lhid"]), ["imports only KERNEL32.dll, SETUPAPI.dll", "nothing of hid.dll"])

    def test_a_kernel32_function_beyond_the_list(self):
        self.assert_fails(velmar_dll(self.workshop, extra_code="""
__declspec(dllimport) unsigned __stdcall GetTickCount(void);
unsigned __stdcall Now(void) { return GetTickCount(); }
"""), ["KERNEL32.dll imports only functions from its list"])

    def test_a_setupapi_function_missing(self):
        platform = PLATFORM_CODE.replace("SetupDiDestroyDeviceInfoList(set) && ", "")
        self.assert_fails(velmar_dll(self.workshop, platform=platform),
                          ["SETUPAPI.dll imports exactly SetupDiDestroyDeviceInfoList, "
                           "SetupDiGetClassDevsA"])

    def test_wrong_or_extra_version_strings(self):
        for old, new in (('"FileVersion", "1.4"', '"FileVersion", "1.5"'),
                         ('"Velmar.dll"', '"velmar.dll"'),
                         ('"Velmar"\n', '"Velmar"\n            VALUE "CompanyName", "Velmar"\n'),
                         ('"ProductName", "Velmar"\n', '"ProductName", "Velmar"\n'
                          '            VALUE "ProductName", "Velmar"\n'),
                         ('            VALUE "ProductVersion", "1.4"\n', '')):
            with self.subTest(new=new):
                self.assert_fails(velmar_dll(self.workshop, version_rc=VELMAR_VERSION_RC.replace(
                    old, new)), ["exactly the 5 version strings"])

    def test_wrong_fixed_version_fields(self):
        for old, new, check in (("FILEVERSION 1, 2, 0, 0", "FILEVERSION 1, 2, 0, 1",
                                 "file version 1.2.0.0"),
                                ("PRODUCTVERSION 1, 2, 0, 0", "PRODUCTVERSION 1, 4, 0, 0",
                                 "product version 1.2.0.0"),
                                ("FILEOS 0x40004", "FILEOS 0x4", "dwFileOS 0x00040004"),
                                ("FILETYPE 2", "FILETYPE 1", "dwFileType 2"),
                                ("FILESUBTYPE 0", "FILESUBTYPE 1", "dwFileSubtype 0"),
                                ("FILEFLAGS 0", "FILEFLAGS 0x20", "dwFileFlags 0")):
            with self.subTest(new=new):
                self.assert_fails(velmar_dll(self.workshop, version_rc=VELMAR_VERSION_RC.replace(
                    old, new)), [check])

    def test_wrong_language_table_or_translation(self):
        for old, new, checks in (
                ("LANGUAGE 0x19, 0x01", "LANGUAGE 0x09, 0x01",
                 ["version resource language 0x0419"]),
                ("0x0419, 1200", "0x0419, 1251", ["translation (0x0419, 1200)"]),
                ("0x0419, 1200", "0x0419, 1200, 0x0409, 1200", ["translation (0x0419, 1200)"]),
                ('BLOCK "041904B0"', 'BLOCK "040904B0"',
                 ["one string table 041904B0", "exactly the 5 version strings"])):
            with self.subTest(new=new):
                self.assert_fails(velmar_dll(self.workshop, version_rc=VELMAR_VERSION_RC.replace(
                    old, new)), checks)

    def test_no_version_resource_or_two(self):
        self.assert_fails(velmar_dll(self.workshop, version_rc=None),
                          ["one RT_VERSION resource"])
        second = VELMAR_VERSION_RC.split("\n", 1)[1].replace("0x19, 0x01", "0x09, 0x01")
        self.assert_fails(velmar_dll(self.workshop, version_rc=VELMAR_VERSION_RC + second),
                          ["one RT_VERSION resource"])

    def test_asking_for_a_newer_windows(self):
        self.assert_fails(velmar_dll(self.workshop, flags=["-Wl,--minor-os-version,1"]),
                          ["OS version at most 5.0"])
        self.assert_fails(velmar_dll(self.workshop, flags=["-Wl,--major-subsystem-version,6"]),
                          ["subsystem version at most 5.0"])

    def test_a_time_stamp(self):
        self.assert_fails(velmar_dll(self.workshop, flags=["-Wl,--insert-timestamp"],
                                     environment={"SOURCE_DATE_EPOCH": "1234567890"}),
                          ["file header timestamp 0"])

    def test_a_program_is_not_the_library(self):
        self.assertIn("a DLL", failed_checks("velmar", program(self.workshop)))

    def test_a_damaged_file_is_reported_not_crashed_on(self):
        with open(velmar_dll(self.workshop), "rb") as file:
            good = file.read()
        image = PeImage(good)
        rva, _ = image.directories[0]
        section = image.section_at(rva)
        damaged = bytearray(good)
        # The export directory's count of functions becomes far larger than its section.
        struct.pack_into("<I", damaged, section.raw_offset + rva - section.virtual_address
                         + 20, 0x10000000)
        path = os.path.join(self.workshop.folder, "damaged.dll")
        with open(path, "wb") as file:
            file.write(damaged)
        self.assertEqual(failed_checks("velmar", path), {"readable exports"})
        with open(path, "wb") as file:
            file.write(good[:300])
        self.assertEqual(failed_checks("velmar", path), {"a readable PE32 image"})


DEPENDENCY_CHECK = "depends only on Microsoft.Windows.Common-Controls 6.0.0.0 win32 x86"


class ProgramChecks(WorkshopTest):
    def test_well_made_programs_pass(self):
        self.assertEqual(failed_checks("devcmd", program(self.workshop)), set())
        ledsignal = program(self.workshop, code=LEDSIGNAL_CODE, libraries=LEDSIGNAL_LIBRARIES)
        self.assertEqual(failed_checks("ledsignal", ledsignal), set())
        # The two programs may not take each other's imports.
        self.assertEqual(failed_checks("devcmd", ledsignal), {
            "imports only KERNEL32.dll, USER32.dll",
            "KERNEL32.dll imports only functions from its list",
            "USER32.dll imports only functions from its list"})

    def test_a_console_program(self):
        self.assertEqual(failed_checks("devcmd", program(self.workshop, subsystem="console")),
                         {"GUI subsystem (2), no console"})

    def test_imports_beyond_the_lists(self):
        code = DEVCMD_CODE + """
__declspec(dllimport) unsigned __stdcall timeBeginPeriod(unsigned);
void Faster(void) { timeBeginPeriod(1); }
"""
        self.assertEqual(failed_checks("devcmd", program(
            self.workshop, code=code, libraries=DEVCMD_LIBRARIES + ["-lwinmm"])),
            {"imports only KERNEL32.dll, USER32.dll"})
        code = LEDSIGNAL_CODE + """
__declspec(dllimport) unsigned __stdcall timeGetTime(void);
unsigned Now(void) { return timeGetTime(); }
"""
        self.assertEqual(failed_checks("ledsignal", program(
            self.workshop, code=code, libraries=LEDSIGNAL_LIBRARIES)),
            {"WINMM.dll imports only functions from its list"})

    def test_a_program_that_exports(self):
        code = DEVCMD_CODE + "__declspec(dllexport) int Visible(void) { return 1; }\n"
        self.assertEqual(failed_checks("devcmd", program(self.workshop, code=code)),
                         {"no exports"})

    def test_manifest_faults(self):
        identity = 'name="Sample.program" version="1.0.0.0"'
        dependency = 'version="6.0.0.0" processorArchitecture="x86"'
        cases = (
            ("</assembly>", '<trustInfo xmlns="urn:schemas-microsoft-com:asm.v3"/></assembly>',
             {"manifest holds nothing else"}),
            ("</assembly>", '<compatibility xmlns="urn:schemas-microsoft-com:compatibility.v1"'
             '/></assembly>', {"manifest holds nothing else"}),
            ("<dependency>", "<noInherit/><dependency>",
             {"manifest holds nothing else"}),
            ("</dependentAssembly>", "<file name=\"x.dll\"/></dependentAssembly>",
             {"manifest holds nothing else"}),
            ("</dependency>", "text</dependency>", {"manifest holds nothing else"}),
            (identity, 'name="Sample.program" version="1.0.0.1"',
             {"identity win32, 1.0.0.0, x86, any name"}),
            (identity, 'name="Sample.program" version="1.0.0.0" language="*"',
             {"identity win32, 1.0.0.0, x86, any name", "manifest holds nothing else"}),
            (dependency, 'version="5.82.0.0" processorArchitecture="x86"',
             {DEPENDENCY_CHECK}),
            (dependency, 'version="6.0.0.0" processorArchitecture="*"',
             {DEPENDENCY_CHECK}),
            ("</assembly>", MANIFEST[MANIFEST.index("  <dependency>"):],
             {DEPENDENCY_CHECK,
              "manifest holds nothing else"}),
            ('manifestVersion="1.0"', 'manifestVersion="2.0"',
             {"manifest is an asm.v1 assembly, manifestVersion 1.0"}),
            ("</assembly>", "</assembly", {"manifest parses as XML"}),
        )
        for old, new, expected in cases:
            with self.subTest(new=new):
                manifest = MANIFEST.replace(old, new)
                self.assertNotEqual(manifest, MANIFEST)
                self.assertEqual(failed_checks("devcmd", program(
                    self.workshop, manifest=manifest)), expected)

    def test_manifest_missing_under_another_id_or_twice(self):
        for built in (program(self.workshop, manifest=None),
                      program(self.workshop, manifest_ids=(2,)),
                      program(self.workshop, manifest_ids=(1, 2))):
            self.assertEqual(failed_checks("devcmd", built), {"one RT_MANIFEST resource, ID 1"})


class CommandLine(WorkshopTest):
    """The exit status is what CTest sees."""

    def run_checks(self, *arguments):
        return subprocess.run([sys.executable, os.path.join(HERE, "check_pe.py")]
                              + list(arguments), capture_output=True, text=True)

    def test_exit_status(self):
        good = velmar_dll(self.workshop)
        passed = self.run_checks("velmar", good)
        self.assertEqual(passed.returncode, 0, passed.stdout)
        self.assertNotIn("FAIL", passed.stdout)
        failed = self.run_checks("devcmd", good)
        self.assertEqual(failed.returncode, 1)
        self.assertIn("FAIL a program, not a DLL: found a DLL, expected a program",
                      failed.stdout)
        self.assertEqual(self.run_checks("velmar", good + ".missing").returncode, 1)
        self.assertEqual(self.run_checks("library", good).returncode, 2)
        self.assertEqual(self.run_checks("velmar").returncode, 2)


if __name__ == "__main__":
    unittest.main()
