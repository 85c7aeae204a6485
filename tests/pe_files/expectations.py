"""What each deliverable must look like, written down once: VELMAR, VELMAR_X64,
VELMAR_ARM64, DEVCMD and LEDSIGNAL, which check_pe.py checks the built files against."""
from dataclasses import dataclass, replace
from typing import Optional

import pefile

MACHINE_I386 = pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"]
MACHINE_AMD64 = pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"]
MACHINE_ARM64 = pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_ARM64"]
SUBSYSTEM_WINDOWS_GUI = pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"]


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
    # The system the header asks for: 4.0, so that Windows 98, Me and NT 4.0 load the x86
    # images, whose every import they have.
    os_version: tuple = (4, 0)
    machine: int = MACHINE_I386
    pe_format: int = pefile.OPTIONAL_HEADER_MAGIC_PE
    timestamp: int = 0          # a reproducible build stamps no time
    # Code that the i486 runs, the oldest processor of Windows 98 (x86 images).
    i486_code: bool = True
    # Unwind data for every function that calls or moves the stack pointer, and for every
    # export (64-bit images: their exception handling and stack walks need it).
    unwind_data: bool = False


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

# The same library for 64-bit callers: PE32+ for x64, for the first x64 Windows (5.2).
VELMAR_X64 = replace(VELMAR, machine=MACHINE_AMD64, os_version=(5, 2), i486_code=False,
                     unwind_data=True,
                     pe_format=pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS)

# And for native ARM64 processes: PE32+ for ARM64, asking for 6.2, the least that an ARM64
# image carries (Windows on ARM64 is 10 and later).
VELMAR_ARM64 = replace(VELMAR_X64, machine=MACHINE_ARM64, os_version=(6, 2))

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

EXPECTED = {"velmar": VELMAR, "velmar_x64": VELMAR_X64, "velmar_arm64": VELMAR_ARM64,
            "devcmd": DEVCMD,
            "ledsignal": LEDSIGNAL}
