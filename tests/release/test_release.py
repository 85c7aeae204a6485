"""The release zip as a new user gets it: unpacked into a fresh folder, its README's
examples run as written, its import libraries linked by small C callers, hidlist run
against the simulator and against Wine's own HID stack, and a second build of the kit alone
from the same source, without any test tool, compared byte for byte.

Environment: VELMAR_RELEASE_ZIP (the zip), VELMAR_SOURCE_DIR, the Wine session's prefix,
VELMAR_WINEPREFIX, and the callers' architecture, VELMAR_CALLER_ARCH: x86 (the default), x64
with a 64-bit prefix (WINEARCH=win64), or arm64 with a prefix of arm64 Wine (and
VELMAR_WINE_MACHINE=arm64), whose callers are compiled by VELMAR_ARM64_CC, clang with the
ARM64 runtime.
"""
import functools
import os
import re
import shutil
import subprocess
import tempfile
import unittest
import zipfile

ZIP = os.environ["VELMAR_RELEASE_ZIP"]
ARCH = os.environ.get("VELMAR_CALLER_ARCH", "x86")
# The C compiler of the callers' architecture.
GCC = {"x86": "i686-w64-mingw32-gcc", "x64": "x86_64-w64-mingw32-gcc",
       "arm64": os.environ.get("VELMAR_ARM64_CC", "")}[ARCH]
# Where the kit keeps the callers' architecture's DLLs, import libraries and simulator.
PLACE = "" if ARCH == "x86" else ARCH + "/"
# Generous bounds, stretched by the scripts' factor on an emulated CPU.
TIME_SCALE = int(os.environ.get("VELMAR_TIME_SCALE", "1"))
TIMEOUT = 120 * TIME_SCALE
BUILD_TIMEOUT = 900 * TIME_SCALE


PREFIX = os.environ["VELMAR_WINEPREFIX"]
RUN_UNDER_WINE = os.path.join(os.environ["VELMAR_SOURCE_DIR"], "scripts", "run_under_wine.sh")


@functools.cache
def session_environment():
    """The session's Wine environment, in which a command runs Wine as a user does."""
    result = subprocess.run([RUN_UNDER_WINE, "--environment", PREFIX], check=True,
                            capture_output=True, text=True, timeout=TIMEOUT)
    return dict(line.split("=", 1) for line in result.stdout.splitlines())


def run(command, cwd, **environment):
    env = {**os.environ, **session_environment(), **environment}
    return subprocess.run(command, cwd=cwd, env=env, capture_output=True, text=True,
                          timeout=TIMEOUT, shell=isinstance(command, str))


def run_under_wine(program, cwd, simulator=False, **environment):
    """Runs a Windows program in the session, against the device simulator beside it or
    against Wine's own HID stack."""
    beside = ["--simulator"] if simulator else []
    return run([RUN_UNDER_WINE, *beside, PREFIX, program], cwd, **environment)


class UnpackedRelease(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory()
        self.addCleanup(self.scratch.cleanup)
        with zipfile.ZipFile(ZIP) as archive:
            archive.extractall(self.scratch.name)
            self.folder = os.path.join(self.scratch.name, archive.namelist()[0].split("/")[0])

    def path(self, *parts):
        return os.path.join(self.folder, *parts)

    def place_beside(self, folder, *files):
        os.makedirs(folder, exist_ok=True)
        for file in files:
            with open(self.path(file), "rb") as source:
                data = source.read()
            with open(os.path.join(folder, os.path.basename(file)), "wb") as target:
                target.write(data)

    def simulated_folder(self, name):
        folder = self.path(name)
        self.place_beside(folder, *(PLACE + file for file in (
            "bin/Velmar.dll", "simulator/devsim.dll", "simulator/hid.dll",
            "simulator/setupapi.dll")))
        return folder


class ReadmeExamples(UnpackedRelease):
    def test_the_sums_match_the_files(self):
        result = run(["sha256sum", "--quiet", "-c", "SHA256SUMS"], self.folder)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def test_the_shell_steps_run_as_written(self):
        with open(self.path("README.md"), encoding="utf-8") as file:
            readme = file.read()
        steps = re.findall(r"<!-- run -->\n```sh\n(.*?)```", readme, re.S)
        self.assertEqual(len(steps), 2)
        output = ""
        for step in steps:
            result = run(step, self.folder)
            output += result.stdout
            self.assertEqual(result.returncode, 0, step + result.stdout + result.stderr)
        self.assertIn("product: MX31K", output)
        self.assertIn("wrote 7 bytes", output)
        with open(self.path("simulator", "pad.hid"), "rb") as device:
            self.assertEqual(device.read(), bytes([0x00, 0x42, 0, 0, 0, 0, 0]))
        with open(self.path("examples", "journal.txt"), encoding="utf-8") as journal:
            self.assertIn("HidD_GetProductString(dev:pad, ptr, 252) = 1", journal.read())

    def test_the_python_example_is_valid_python(self):
        result = run(["python3", "-m", "py_compile", "examples/list_devices.py"], self.folder,
                     PYTHONDONTWRITEBYTECODE="1")
        self.assertEqual(result.returncode, 0, result.stderr)


# The caller finds 04D8:F6F1, reads its product string and exits 0 when it is right.
CALLER = r"""
#include "velmar.h"
#include <string.h>
int main(void)
{
    HANDLE device;
    int right;
    if (!HID_DeviceTest(0xF6F1, 0x04D8, VELMAR_ANY_VERSION, 0)) return 2;
    device = HID_OpenDevice(0xF6F1, 0x04D8, VELMAR_ANY_VERSION, 0);
    right = strcmp(HID_GetProductString(device), "MX31K") == 0;
    HID_CloseDevice(device);
    return right ? 0 : 3;
}
"""

LOADER = r"""
#include "velmar.h"
int main(void)
{
    HMODULE library = LoadLibraryA("Velmar.dll");
    PFN_HID_DeviceTest deviceTest;
    if (!library) return 4;
    deviceTest = (PFN_HID_DeviceTest)GetProcAddress(library, "HID_DeviceTest");
    return deviceTest && deviceTest(0xF6F1, 0x04D8, VELMAR_ANY_VERSION, 0) ? 0 : 5;
}
"""

def msvc_style_link(program, objects):
    """The command that links objects and import libraries MSVC-style into `program`, with
    entry point start() and no C runtime. kernel32 comes as MinGW's import library (for
    ARM64 the runtime's, beside its compiler), whose x86 objects carry no safe exception
    handler mark: hence /safeseh:no there."""
    if ARCH == "x64":
        machine, kernel32 = ["/machine:x64"], "/usr/x86_64-w64-mingw32/lib/libkernel32.a"
    elif ARCH == "arm64":
        runtime = os.path.dirname(os.path.dirname(GCC))
        machine, kernel32 = ["/machine:arm64"], os.path.join(runtime, "aarch64-w64-mingw32", "lib",
                                                             "libkernel32.a")
    else:
        machine, kernel32 = ["/safeseh:no"], "/usr/i686-w64-mingw32/lib/libkernel32.a"
    return ["lld-link", "/nologo", "/nodefaultlib", *machine, "/entry:start",
            "/subsystem:console", f"/out:{program}", *objects, kernel32]


# For the MSVC import library: no C runtime, so lld-link needs nothing but the libraries.
MSVC_CALLER = r"""
#include "velmar.h"
void __cdecl start(void)
{
    ExitProcess(HID_DeviceTest(0xF6F1, 0x04D8, VELMAR_ANY_VERSION, 0) ? 0 : 6);
}
"""


class Callers(UnpackedRelease):
    def build_and_run(self, name, source, link):
        folder = self.simulated_folder(name)
        with open(os.path.join(folder, name + ".c"), "w") as file:
            file.write(source)
        result = run(link, folder)
        self.assertEqual(result.returncode, 0, result.stderr)
        world = os.path.join(folder, "world.txt")
        with open(world, "w") as file:
            file.write('interface pad vid=04D8 pid=F6F1 product="MX31K"\n')
        result = run_under_wine(name + ".exe", folder, simulator=True, DEVSIM_WORLD=world)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def test_a_c89_caller_linked_against_the_mingw_import_library(self):
        self.build_and_run("caller", CALLER, [GCC, "-std=c89", "-pedantic", "-Wall", "-Werror",
                                              "-o", "caller.exe", "caller.c",
                                              f"-I{self.path('include')}",
                                              f"-L{self.path(PLACE + 'lib')}", "-lVelmar"])

    def test_a_caller_that_loads_the_library_by_name(self):
        self.build_and_run("loader", LOADER, [GCC, "-std=c89", "-pedantic", "-Wall", "-Werror",
                                              "-o", "loader.exe", "loader.c",
                                              f"-I{self.path('include')}"])

    def test_a_caller_linked_against_the_msvc_import_library(self):
        folder = self.path("msvc")
        os.makedirs(folder)
        with open(os.path.join(folder, "msvc.c"), "w") as file:
            file.write(MSVC_CALLER)
        result = run([GCC, "-c", "-o", "msvc.obj", "msvc.c", f"-I{self.path('include')}"], folder)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.build_and_run("msvc", MSVC_CALLER,
                           msvc_style_link("msvc.exe", ["msvc.obj",
                                                        self.path(PLACE + "lib/Velmar.lib")]))


class Hidlist(UnpackedRelease):
    def test_lists_a_simulated_world(self):
        folder = self.simulated_folder("listing")
        self.place_beside(folder, PLACE + "bin/hidlist.exe")
        result = run_under_wine("hidlist.exe", folder, simulator=True,
                                DEVSIM_WORLD=self.path("simulator", "example-world.txt"))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertRegex(result.stdout, r'0  04D8:F6F1  0100 +8/  7/  5 +32  "Microchip '
                                        r'Technology Inc\." / "MX31K" / "000123"')
        self.assertRegex(result.stdout, r'1  045E:0750  0110')
        self.assertIn("2 interface(s) listed.", result.stdout)

    def test_lists_wines_own_devices(self):
        folder = self.path("platform")
        self.place_beside(folder, PLACE + "bin/Velmar.dll", PLACE + "bin/hidlist.exe")
        result = run_under_wine("hidlist.exe", folder)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn('"The Wine Project" / "Wine HID mouse"', result.stdout)


# What the second build finds on PATH: the cross toolchains, CMake, Ninja, LLVM's dlltool and
# Doxygen (the two more tools the kit needs), LLVM's archiver for the ARM64 build (whose clang
# and runtime come from the set-up's cache, found from HOME) and a shell with a few basic
# commands.
KIT_TOOLS = ("cmake", "ninja", "llvm-dlltool", "llvm-dlltool-14", "llvm-ar-14", "llvm-ranlib-14",
             "doxygen", "sh", "bash", "cat", "cp", "ln", "ls", "mkdir", "mv", "rm", "touch",
             "dirname", "readlink")


def kit_tools(folder):
    """A folder of links to the tools of KIT_TOOLS and of the cross toolchain found on PATH."""
    os.makedirs(folder)
    toolchain = os.path.dirname(shutil.which(GCC))
    paths = [shutil.which(tool) for tool in KIT_TOOLS]
    paths += [os.path.join(toolchain, name) for name in os.listdir(toolchain)
              if name.startswith(("i686-w64-mingw32-", "x86_64-w64-mingw32-"))]
    for path in filter(None, paths):
        os.symlink(path, os.path.join(folder, os.path.basename(path)))
    return folder


class Reproducible(unittest.TestCase):
    def test_a_second_build_of_the_kit_alone_gives_the_same_bytes(self):
        """The deliverables preset, built in another folder with another umask and time zone,
        with nothing on PATH but the kit's tools and CMake's own search of the system and of
        Python and GoogleTest turned off: the same zip shows that the kit is reproducible and
        needs no test tool."""
        source = os.environ["VELMAR_SOURCE_DIR"]
        scratch = tempfile.TemporaryDirectory()
        self.addCleanup(scratch.cleanup)
        second = os.path.join(scratch.name, "build")
        environment = {"PATH": kit_tools(os.path.join(scratch.name, "tools")), "TZ": "XYZ-5:45",
                       **{name: os.environ[name] for name in
                          ("HOME", "XDG_CACHE_HOME", "VELMAR_CACHE_DIR") if name in os.environ}}
        for command in (["cmake", "-S", source, "--preset", "deliverables", "-B", second,
                         "--no-warn-unused-cli", "-DCMAKE_FIND_USE_CMAKE_SYSTEM_PATH=OFF",
                         "-DCMAKE_DISABLE_FIND_PACKAGE_Python3=ON",
                         "-DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON"],
                        ["cmake", "--build", second]):
            result = subprocess.run(command, env=environment, umask=0o077, capture_output=True,
                                    text=True, timeout=BUILD_TIMEOUT)
            self.assertEqual(result.returncode, 0, result.stdout[-3000:] + result.stderr)
        copy = os.path.join(second, "release", os.path.basename(ZIP))
        with open(ZIP, "rb") as first, open(copy, "rb") as again:
            self.assertTrue(first.read() == again.read(), "the two zips differ")


if __name__ == "__main__":
    unittest.main()
