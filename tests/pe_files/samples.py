"""Small images shaped like the deliverables, built with the cross toolchain
(PE_CHECKS_GCC and PE_CHECKS_WINDRES name it; CTest passes the configured compilers).
Each builder makes a well-made sample unless told what to get wrong.
"""
import itertools
import os
import shutil
import subprocess
import tempfile

from expectations import VELMAR

GCC = os.environ.get("PE_CHECKS_GCC", "i686-w64-mingw32-gcc")
WINDRES = os.environ.get("PE_CHECKS_WINDRES", "i686-w64-mingw32-windres")

# Options of a well-made deliverable: code for the i486, no runtime, no time stamp, Windows
# 2000 on.
WELL_MADE = ["-march=i486", "-nostdlib", "-s", "-Wl,--no-insert-timestamp",
             "-Wl,--major-os-version,4", "-Wl,--minor-os-version,0",
             "-Wl,--major-subsystem-version,4", "-Wl,--minor-subsystem-version,0"]


class Workshop:
    """A temporary folder in which samples are compiled, each build in its own folder."""

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="pe_checks_")
        self.builds = itertools.count()

    def cleanup(self):
        shutil.rmtree(self.folder)

    def build(self, output, files, flags, environment=None, compiler=GCC):
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
        subprocess.run([compiler, "-o", target] + inputs + flags, check=True, cwd=folder, env=env)
        return target


VELMAR_EXPORTS = VELMAR.exports

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
