"""Checks one built deliverable: check_pe.py velmar|devcmd|ledsignal <file>

Prints one line per check and exits 1 if any failed. The expectations of each kind are
in EXPECTED below.
"""
import struct
import sys

from pe_image import PeImage, PeError, RT_MANIFEST, RT_VERSION, parse_manifest, parse_version_info

VELMAR_EXPORTS = [
    "HID_CloseDevice", "HID_DeviceInfo", "HID_DeviceTest", "HID_GetCaps", "HID_GetFeature",
    "HID_GetIndexedString", "HID_GetInputReport", "HID_GetManufacturerString",
    "HID_GetNumInputBuffers", "HID_GetProductString", "HID_GetSerialNumberString",
    "HID_OpenDevice", "HID_ReadDevice", "HID_SetFeature", "HID_SetOutputReport",
    "HID_WriteDevice",
]

# For each kind: the imported DLLs with the functions each may supply ("exactly" marks
# a DLL from which every listed function must be imported and nothing else).
EXPECTED = {
    "velmar": {
        "dll": True,
        "imports": {
            "KERNEL32.dll": {"LoadLibraryA", "GetProcAddress", "FreeLibrary", "CreateFileA",
                             "ReadFile", "WriteFile", "CloseHandle", "GetVersionExA",
                             "WideCharToMultiByte", "HeapCreate", "HeapAlloc", "HeapReAlloc",
                             "HeapFree"},
            "SETUPAPI.dll": {"SetupDiGetClassDevsA", "SetupDiDestroyDeviceInfoList"},
        },
        "exactly": {"SETUPAPI.dll"},
        "exports": VELMAR_EXPORTS,
        "version": {
            "file_version": (1, 2, 0, 0), "product_version": (1, 2, 0, 0), "flags": 0,
            "os": 0x00040004, "type": 2, "subtype": 0, "language": 0x0419,
            "table": "041904B0",
            "strings": {"FileVersion": "1.4", "ProductVersion": "1.4",
                        "FileDescription": "Поддержка USB HID устройств",
                        "ProductName": "Velmar", "OriginalFilename": "Velmar.dll"},
            "translations": [(0x0419, 1200)],
        },
    },
    "devcmd": {
        "dll": False,
        "imports": {
            "KERNEL32.dll": {"LoadLibraryA", "GetProcAddress", "FreeLibrary",
                             "GetCurrentProcessId", "ExitProcess"},
            "USER32.dll": {"MessageBoxA", "GetForegroundWindow", "GetWindowThreadProcessId"},
        },
        "exactly": set(),
        "manifest": True,
    },
    "ledsignal": {
        "dll": False,
        "imports": {
            "KERNEL32.dll": {"Sleep", "ExitProcess"},
            "USER32.dll": {"GetKeyState", "keybd_event"},
            "WINMM.dll": {"timeBeginPeriod", "timeEndPeriod"},
        },
        "exactly": set(),
        "manifest": True,
    },
}

ASM = "{urn:schemas-microsoft-com:asm.v1}"


class Report:
    def __init__(self):
        self.failed = 0

    def check(self, ok, what, found=None):
        if not ok:
            self.failed += 1
        detail = "" if ok or found is None else "  (found: %s)" % (found,)
        print("%s %s%s" % ("ok  " if ok else "FAIL", what, detail))


def check_header(image, expected, report):
    report.check(image.machine == 0x14C, "i386 image", hex(image.machine))
    report.check(image.is_dll == expected["dll"], "a DLL" if expected["dll"] else "a program")
    if not expected["dll"]:
        report.check(image.subsystem == 2, "windowed subsystem (no console)", image.subsystem)
    report.check((image.major_os_version, image.minor_os_version) <= (5, 0)
                 and (image.major_subsystem_version, image.minor_subsystem_version) <= (5, 0),
                 "asks for no Windows newer than 2000",
                 (image.major_os_version, image.minor_os_version,
                  image.major_subsystem_version, image.minor_subsystem_version))
    report.check(image.timestamp == 0, "no build timestamp", image.timestamp)


def check_imports(image, expected, report):
    imports = image.imports()
    names = [dll for dll, _ in imports]
    allowed = expected["imports"]
    report.check({n.upper() for n in names} <= {n.upper() for n in allowed},
                 "imports only %s" % ", ".join(sorted(allowed)), names)
    for dll, functions in imports:
        wanted = next((v for k, v in allowed.items() if k.upper() == dll.upper()), set())
        extra = sorted(set(functions) - wanted)
        report.check(not extra, "%s: no function beyond the expected ones" % dll, extra)
        if any(k.upper() == dll.upper() for k in expected["exactly"]):
            report.check(set(functions) == wanted, "%s: exactly %s" % (dll, sorted(wanted)),
                         sorted(functions))


def check_exports(image, expected, report):
    dll_name, exports = image.exports()
    if "exports" not in expected:
        report.check(not exports, "exports nothing", [e[1] for e in exports])
        return
    report.check(dll_name == "Velmar.dll", "export directory names Velmar.dll", dll_name)
    listed = [(ordinal, name) for ordinal, name, _, _ in sorted(exports)]
    wanted = list(enumerate(expected["exports"], start=1))
    report.check(listed == wanted, "exactly the sixteen undecorated names at ordinals 1-16",
                 listed)
    report.check(all(forwarder is None and image.is_executable(rva)
                     for _, _, rva, forwarder in exports),
                 "every export is code of this library, none forwarded")


def check_version(image, expected, report):
    version = expected["version"]
    resources = [r for r in image.resources() if r[0] == RT_VERSION]
    report.check(len(resources) == 1, "one version resource", len(resources))
    if len(resources) != 1:
        return
    _, _, language, block = resources[0]
    report.check(language == version["language"], "version resource language 0x0419",
                 hex(language))
    fixed, tables, translations = parse_version_info(block)
    for field in ("file_version", "product_version", "flags", "os", "type", "subtype"):
        report.check(fixed[field] == version[field], "fixed %s %s" % (field, version[field]),
                     fixed[field])
    report.check(list(tables) == [version["table"]], "one string table 041904B0", list(tables))
    report.check(tables.get(version["table"]) == version["strings"],
                 "exactly the five version strings", tables.get(version["table"]))
    report.check(translations == version["translations"], "translation 0x0419 / 1200",
                 translations)


def check_manifest(image, report):
    manifests = [r for r in image.resources() if r[0] == RT_MANIFEST]
    report.check(len(manifests) == 1 and manifests[0][1] == 1, "one manifest with ID 1",
                 [(r[1], r[2]) for r in manifests])
    if not manifests:
        return
    root = parse_manifest(manifests[0][3])
    children = [child.tag for child in root]
    report.check(children == [ASM + "assemblyIdentity", ASM + "dependency"],
                 "manifest holds an identity and one dependency, nothing else", children)
    identity = root.find(ASM + "assemblyIdentity")
    report.check(identity is not None and identity.get("type") == "win32"
                 and identity.get("version") == "1.0.0.0"
                 and identity.get("processorArchitecture") == "x86",
                 "win32 assembly 1.0.0.0 for x86",
                 None if identity is None else identity.attrib)
    dependencies = root.findall(ASM + "dependency/" + ASM + "dependentAssembly/"
                                + ASM + "assemblyIdentity")
    wanted = {"type": "win32", "name": "Microsoft.Windows.Common-Controls",
              "version": "6.0.0.0", "processorArchitecture": "x86",
              "publicKeyToken": "6595b64144ccf1df", "language": "*"}
    report.check([d.attrib for d in dependencies] == [wanted],
                 "depends on Common-Controls 6.0.0.0 for x86 only",
                 [d.attrib for d in dependencies])


def check(kind, path):
    expected = EXPECTED[kind]
    report = Report()
    try:
        image = PeImage.load(path)
        check_header(image, expected, report)
        check_imports(image, expected, report)
        check_exports(image, expected, report)
        if "version" in expected:
            check_version(image, expected, report)
        if expected.get("manifest"):
            check_manifest(image, report)
    except (PeError, struct.error, ValueError) as error:
        report.check(False, "a readable PE image", error)
    return report.failed


def main(argv):
    if len(argv) != 3 or argv[1] not in EXPECTED:
        print("usage: check_pe.py %s <file>" % "|".join(EXPECTED), file=sys.stderr)
        return 2
    return 1 if check(argv[1], argv[2]) else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
