"""The checks must catch what they are there for: samples built here, each wrong in one
way, must fail exactly the check that names their fault."""
import contextlib
import io
import os
import subprocess
import tempfile
import unittest

import check_pe

GCC = "i686-w64-mingw32-gcc"
WINDRES = "i686-w64-mingw32-windres"


def velmar_like_source():
    return "".join("int __stdcall %s(int a) { return a; }\n" % name
                   for name in check_pe.VELMAR_EXPORTS)


def velmar_like_def(decorated_names=False):
    lines = ["LIBRARY Velmar.dll", "EXPORTS"]
    lines += ["    %s@4 @%d" % (name, i) for i, name in enumerate(check_pe.VELMAR_EXPORTS, 1)]
    return "\n".join(lines) + "\n"


class Samples(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)

    def path(self, name):
        return os.path.join(self.folder.name, name)

    def write(self, name, text):
        with open(self.path(name), "w", encoding="utf-8") as file:
            file.write(text)
        return self.path(name)

    def build_dll(self, kill_at=True, runtime=False, version_text="1.4"):
        source = self.write("lib.c", velmar_like_source())
        definition = self.write("lib.def", velmar_like_def())
        rc = self.write("version.rc", VERSION_RC.replace("@VERSION@", version_text))
        res = self.path("version.o")
        subprocess.run([WINDRES, "-c", "65001", rc, "-O", "coff", "-o", res], check=True)
        command = [GCC, "-shared", "-o", self.path("Velmar.dll"), source, definition, res,
                   "-Wl,--no-insert-timestamp", "-Wl,--major-os-version,5",
                   "-Wl,--minor-os-version,0", "-Wl,--major-subsystem-version,5",
                   "-Wl,--minor-subsystem-version,0", "-s"]
        if kill_at:
            command.append("-Wl,--kill-at")
        if not runtime:
            command += ["-nostdlib", "-Wl,-e,0"]
        subprocess.run(command, check=True)
        return self.path("Velmar.dll")

    def failures(self, kind, path):
        output = io.StringIO()
        with contextlib.redirect_stdout(output):
            check_pe.check(kind, path)
        return [line for line in output.getvalue().splitlines() if line.startswith("FAIL")]

    def test_a_well_made_sample_passes(self):
        self.assertEqual(self.failures("velmar", self.build_dll()), [])

    def test_decorated_export_names_fail(self):
        failures = self.failures("velmar", self.build_dll(kill_at=False))
        self.assertEqual(len(failures), 1, failures)
        self.assertIn("undecorated", failures[0])

    def test_a_runtime_dll_among_the_imports_fails(self):
        failures = self.failures("velmar", self.build_dll(runtime=True))
        self.assertTrue(any("imports only" in f for f in failures), failures)

    def test_a_wrong_version_string_fails(self):
        failures = self.failures("velmar", self.build_dll(version_text="1.5"))
        self.assertEqual(len(failures), 1, failures)
        self.assertIn("five version strings", failures[0])

    def test_a_manifest_with_more_than_it_should_fails(self):
        manifest = self.write("app.manifest", MANIFEST.replace(
            "</assembly>", '<trustInfo xmlns="urn:schemas-microsoft-com:asm.v3"/></assembly>'))
        rc = self.write("app.rc", '1 24 "%s"\n' % manifest)
        res = self.path("app.o")
        subprocess.run([WINDRES, rc, "-O", "coff", "-o", res], check=True)
        source = self.write("app.c", "void __stdcall ExitProcess(unsigned);\n"
                                     "void start(void) { ExitProcess(0); }\n")
        program = self.path("app.exe")
        subprocess.run([GCC, "-o", program, source, res, "-nostdlib", "-Wl,-e,_start",
                        "-Wl,--subsystem,windows", "-Wl,--no-insert-timestamp",
                        "-Wl,--major-os-version,5", "-Wl,--minor-os-version,0",
                        "-Wl,--major-subsystem-version,5", "-Wl,--minor-subsystem-version,0",
                        "-lkernel32"], check=True)
        failures = self.failures("devcmd", program)
        self.assertEqual(len(failures), 1, failures)
        self.assertIn("nothing else", failures[0])

    def test_a_truncated_file_is_reported_not_crashed_on(self):
        with open(self.build_dll(), "rb") as file:
            head = file.read(700)
        broken = self.path("broken.dll")
        with open(broken, "wb") as file:
            file.write(head)
        failures = self.failures("velmar", broken)
        self.assertTrue(failures)


VERSION_RC = """#pragma code_page(65001)
LANGUAGE 0x19, 0x01
1 VERSIONINFO
FILEVERSION 1, 2, 0, 0
PRODUCTVERSION 1, 2, 0, 0
FILEFLAGSMASK 0
FILEFLAGS 0
FILEOS 0x40004
FILETYPE 2
FILESUBTYPE 0
BEGIN
    BLOCK "StringFileInfo"
    BEGIN
        BLOCK "041904B0"
        BEGIN
            VALUE "FileVersion", "@VERSION@"
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
  <assemblyIdentity type="win32" name="Sample" version="1.0.0.0" processorArchitecture="x86"/>
  <dependency><dependentAssembly>
    <assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0"
      processorArchitecture="x86" publicKeyToken="6595b64144ccf1df" language="*"/>
  </dependentAssembly></dependency>
</assembly>
"""

if __name__ == "__main__":
    unittest.main()
