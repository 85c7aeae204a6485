"""Checks one built deliverable without running it: check_pe.py velmar|devcmd|ledsignal <file>

Prints one line per check ("ok   ..." or "FAIL ...: found ..., expected ...") and exits
with 1 if any check failed, 2 on a wrong command line. What each deliverable must look
like is written down once, in VELMAR, DEVCMD and LEDSIGNAL below.
"""
import sys
from dataclasses import dataclass
from typing import Optional

from pe_image import (MACHINE_I386, RT_MANIFEST, RT_VERSION, SUBSYSTEM_WINDOWS_GUI, PeError,
                      PeImage, parse_manifest, parse_version_info)


@dataclass(frozen=True)
class VersionExpectations:
    language: int
    file_version: tuple
    product_version: tuple
    file_os: int
    file_type: int
    file_subtype: int
    file_flags: int
    table: str
    strings: dict
    translations: list


@dataclass(frozen=True)
class ManifestExpectations:
    identity: dict      # the attributes of the program's own identity, besides its name
    dependencies: list  # the attributes of the identity of each dependent assembly
    shape: str          # every element and attribute name, as shape() writes them


@dataclass(frozen=True)
class Expectations:
    dll: bool
    # Each DLL the image may import from, with the functions it may take from it.
    imports: dict
    # DLLs from which every listed function, and nothing else, must be imported.
    imports_exactly: tuple = ()
    # DLLs the image must not import from, checked on their own line.
    never_imports: tuple = ()
    subsystem: Optional[int] = None
    # Names exported at ordinals 1, 2, ...; empty means the image exports nothing.
    exports: tuple = ()
    export_dll_name: Optional[str] = None
    version: Optional[VersionExpectations] = None
    manifest: Optional[ManifestExpectations] = None
    newest_os: tuple = (5, 0)   # Windows 2000
    machine: int = MACHINE_I386
    timestamp: int = 0          # a reproducible build stamps no time


VELMAR = Expectations(
    dll=True,
    imports={
        # Anything beyond these means a C runtime or other helper code was linked in.
        "KERNEL32.dll": {"LoadLibraryA", "GetProcAddress", "FreeLibrary", "CreateFileA",
                         "ReadFile", "WriteFile", "CloseHandle", "GetVersionExA",
                         "WideCharToMultiByte", "HeapCreate", "HeapAlloc", "HeapReAlloc",
                         "HeapFree"},
        "SETUPAPI.dll": {"SetupDiGetClassDevsA", "SetupDiDestroyDeviceInfoList"},
    },
    imports_exactly=("SETUPAPI.dll",),
    # hid.dll is loaded at run time, so that the library loads where it is missing.
    never_imports=("hid.dll",),
    exports=("HID_CloseDevice", "HID_DeviceInfo", "HID_DeviceTest", "HID_GetCaps",
             "HID_GetFeature", "HID_GetIndexedString", "HID_GetInputReport",
             "HID_GetManufacturerString", "HID_GetNumInputBuffers", "HID_GetProductString",
             "HID_GetSerialNumberString", "HID_OpenDevice", "HID_ReadDevice", "HID_SetFeature",
             "HID_SetOutputReport", "HID_WriteDevice"),
    export_dll_name="Velmar.dll",
    version=VersionExpectations(
        language=0x0419,
        file_version=(1, 2, 0, 0),
        product_version=(1, 2, 0, 0),
        file_os=0x00040004,  # VOS_NT_WINDOWS32
        file_type=2,         # VFT_DLL
        file_subtype=0,
        file_flags=0,
        table="041904B0",    # Russian, UTF-16
        strings={"FileVersion": "1.4", "ProductVersion": "1.4",
                 "FileDescription": "Поддержка USB HID устройств",
                 "ProductName": "Velmar", "OriginalFilename": "Velmar.dll"},
        translations=[(0x0419, 1200)],
    ),
)

# Both programs carry the same manifest: their own identity, under any name, and the
# common controls version 6, nothing more.
PROGRAM_MANIFEST = ManifestExpectations(
    identity={"type": "win32", "version": "1.0.0.0", "processorArchitecture": "x86"},
    dependencies=[{"type": "win32", "name": "Microsoft.Windows.Common-Controls",
                   "version": "6.0.0.0", "processorArchitecture": "x86",
                   "publicKeyToken": "6595b64144ccf1df", "language": "*"}],
    shape="assembly[manifestVersion](assemblyIdentity[name,processorArchitecture,type,"
          "version],dependency(dependentAssembly(assemblyIdentity[language,name,"
          "processorArchitecture,publicKeyToken,type,version])))",
)

DEVCMD = Expectations(
    dll=False,
    subsystem=SUBSYSTEM_WINDOWS_GUI,
    imports={
        "KERNEL32.dll": {"LoadLibraryA", "GetProcAddress", "FreeLibrary",
                         "GetCurrentProcessId", "ExitProcess"},
        "USER32.dll": {"MessageBoxA", "GetForegroundWindow", "GetWindowThreadProcessId"},
    },
    manifest=PROGRAM_MANIFEST,
)

LEDSIGNAL = Expectations(
    dll=False,
    subsystem=SUBSYSTEM_WINDOWS_GUI,
    imports={
        "KERNEL32.dll": {"Sleep", "ExitProcess"},
        "USER32.dll": {"GetKeyState", "keybd_event"},
        "WINMM.dll": {"timeBeginPeriod", "timeEndPeriod"},
    },
    manifest=PROGRAM_MANIFEST,
)

EXPECTED = {"velmar": VELMAR, "devcmd": DEVCMD, "ledsignal": LEDSIGNAL}

ASM = "{urn:schemas-microsoft-com:asm.v1}"


class Report:
    def __init__(self):
        self.failed = 0

    def check(self, what, found, expected, passed=None, detail=None):
        """One line; passes when found equals expected unless passed says otherwise."""
        if passed is None:
            passed = found == expected
        if passed:
            print("ok   " + what)
            return
        self.failed += 1
        print("FAIL %s: %s" % (what, detail or "found %s, expected %s" % (found, expected)))


def version_text(numbers):
    return ".".join(str(n) for n in numbers)


def check_headers(image, expected, report):
    report.check("machine i386 (0x14C)", hex(image.machine), hex(expected.machine))
    kind = {True: "a DLL", False: "a program"}
    report.check("a DLL" if expected.dll else "a program, not a DLL", kind[image.is_dll],
                 kind[expected.dll])
    if expected.subsystem is not None:
        report.check("GUI subsystem (%d), no console" % expected.subsystem, image.subsystem,
                     expected.subsystem)
    newest = version_text(expected.newest_os)
    report.check("OS version at most " + newest, version_text(image.os_version),
                 "<= " + newest, passed=tuple(image.os_version) <= expected.newest_os)
    report.check("subsystem version at most " + newest, version_text(image.subsystem_version),
                 "<= " + newest, passed=tuple(image.subsystem_version) <= expected.newest_os)
    report.check("file header timestamp %d" % expected.timestamp, image.timestamp,
                 expected.timestamp)


def check_imports(image, expected, report):
    imports = image.imports()
    # Windows matches DLL names without regard to case; one DLL may have several entries.
    taken = {}
    for entry in imports:
        taken.setdefault(entry.dll.upper(), set()).update(entry.functions)
    allowed = {dll.upper(): functions for dll, functions in expected.imports.items()}
    found = [entry.dll for entry in imports]
    report.check("imports only " + ", ".join(expected.imports), found,
                 "a subset of %s" % list(expected.imports),
                 passed=all(dll.upper() in allowed for dll in found))
    for dll in expected.never_imports:
        report.check("nothing of " + dll,
                     [name for name in found if name.upper() == dll.upper()], [])
    for dll, functions in expected.imports.items():
        used = taken.get(dll.upper(), set())
        if dll in expected.imports_exactly:
            report.check("%s imports exactly %s" % (dll, ", ".join(sorted(functions))),
                         sorted(used), sorted(functions))
        else:
            report.check("%s imports only functions from its list" % dll,
                         sorted(used - functions), [])


def check_exports(image, expected, report):
    exports = image.exports()
    entries = exports.entries if exports else []
    if not expected.exports:
        report.check("no exports", [(e.ordinal, e.name) for e in entries], [])
        return
    report.check("export directory names " + expected.export_dll_name,
                 exports.dll_name if exports else None, expected.export_dll_name)
    report.check("export names undecorated (no '@', no leading '_')",
                 [e.name for e in entries if e.name and ("@" in e.name or e.name[0] == "_")], [])
    listed = [(e.ordinal, e.name) for e in entries]
    wanted = list(enumerate(expected.exports, start=1))
    unexpected = [entry for entry in listed if entry not in wanted]
    missing = [entry for entry in wanted if entry not in listed]
    report.check("exactly the %d names at ordinals 1-%d in order" % (len(wanted), len(wanted)),
                 listed, wanted, detail="found %s, which are not expected; missing %s"
                 % (unexpected, missing))
    # Forwarders point into the export directory; they have a check of their own.
    outside_code = [e.name or "#%d" % e.ordinal for e in entries if not e.forwarder
                    and not getattr(image.section_at(e.rva), "executable", False)]
    report.check("every export points into an executable section", outside_code, [])
    report.check("no forwarded exports",
                 ["%s -> %s" % (e.name, e.forwarder) for e in entries if e.forwarder], [])


def check_version(image, expected, report):
    wanted = expected.version
    versions = [r for r in image.resources() if r.type == RT_VERSION]
    report.check("one RT_VERSION resource", len(versions), 1)
    if len(versions) != 1:
        return
    report.check("version resource language 0x%04X" % wanted.language, hex(versions[0].language),
                 hex(wanted.language))
    info = parse_version_info(versions[0].data)
    fixed = info.fixed
    report.check("file version " + version_text(wanted.file_version),
                 version_text(fixed.file_version), version_text(wanted.file_version))
    report.check("product version " + version_text(wanted.product_version),
                 version_text(fixed.product_version), version_text(wanted.product_version))
    report.check("dwFileOS 0x%08X" % wanted.file_os, "0x%08X" % fixed.os,
                 "0x%08X" % wanted.file_os)
    report.check("dwFileType %d" % wanted.file_type, fixed.type, wanted.file_type)
    report.check("dwFileSubtype %d" % wanted.file_subtype, fixed.subtype, wanted.file_subtype)
    report.check("dwFileFlags %d" % wanted.file_flags, fixed.flags, wanted.file_flags)
    report.check("one string table " + wanted.table, list(info.string_tables), [wanted.table])
    strings = info.string_tables.get(wanted.table, [])
    report.check("exactly the %d version strings" % len(wanted.strings), sorted(strings),
                 sorted(wanted.strings.items()))
    report.check("translation %s" % ", ".join("(0x%04X, %d)" % t for t in wanted.translations),
                 info.translations, wanted.translations)


def shape(element):
    """Tags, attribute names and text of an XML tree, without attribute values."""
    tag = element.tag[len(ASM):] if element.tag.startswith(ASM) else element.tag
    text = "".join(part.strip() for part in [element.text or ""] +
                   [child.tail or "" for child in element])
    result = tag
    if element.attrib:
        result += "[%s]" % ",".join(sorted(element.attrib))
    if text:
        result += repr(text)
    if len(element):
        result += "(%s)" % ",".join(shape(child) for child in element)
    return result


def check_manifest(image, expected, report):
    wanted = expected.manifest
    manifests = [r for r in image.resources() if r.type == RT_MANIFEST]
    report.check("one RT_MANIFEST resource, ID 1", [r.name for r in manifests], [1])
    if not manifests:
        return
    try:
        root = parse_manifest(manifests[0].data)
    except PeError as error:
        report.check("manifest parses as XML", str(error), "well-formed XML", passed=False)
        return
    report.check("manifest parses as XML", None, None, passed=True)
    report.check("manifest is an asm.v1 assembly, manifestVersion 1.0",
                 (root.tag, root.get("manifestVersion")), (ASM + "assembly", "1.0"))
    identity = root.find(ASM + "assemblyIdentity")
    found = {} if identity is None else dict(identity.attrib)
    name = found.pop("name", None)
    report.check("identity %s, any name" % ", ".join(wanted.identity.values()), found,
                 wanted.identity, passed=found == wanted.identity and bool(name))
    dependencies = [d.attrib for d in root.iterfind(
        "%sdependency/%sdependentAssembly/%sassemblyIdentity" % (ASM, ASM, ASM))]
    report.check("depends only on " + ", ".join(
        "%(name)s %(version)s %(type)s %(processorArchitecture)s" % d
        for d in wanted.dependencies), dependencies, wanted.dependencies)
    report.check("manifest holds nothing else", shape(root), wanted.shape)


def check(kind, path):
    """Runs every check of one kind on one file; returns the number that failed."""
    expected = EXPECTED[kind]
    report = Report()
    try:
        image = PeImage.load(path)
    except (OSError, PeError) as error:
        report.check("a readable PE32 image", str(error), "a PE32 image", passed=False)
        return report.failed
    report.check("a readable PE32 image", None, None, passed=True)
    groups = [("headers", check_headers), ("imports", check_imports),
              ("exports", check_exports)]
    if expected.version:
        groups.append(("version resource", check_version))
    if expected.manifest:
        groups.append(("manifest", check_manifest))
    for name, run in groups:
        # A damaged part of the image fails its own group; the other groups still run.
        try:
            run(image, expected, report)
        except PeError as error:
            report.check("readable " + name, str(error), "a well-formed " + name, passed=False)
    return report.failed


def main(argv):
    if len(argv) != 3 or argv[1] not in EXPECTED:
        print("usage: check_pe.py %s <file>" % "|".join(EXPECTED), file=sys.stderr)
        return 2
    return 1 if check(argv[1], argv[2]) else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
