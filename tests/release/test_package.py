"""The kit's CMake package and pkg-config file, used as a caller uses them: from the unpacked
zip in a fresh folder, with nothing from the build tree.

Environment: as test_release.py.
"""
import os
import re
import shutil
import tempfile
import unittest

from test_release import (ARCH, CALLER, GCC, PLACE, UnpackedRelease, msvc_style_link, run,
                          run_under_wine)

HERE = os.path.dirname(os.path.abspath(__file__))
CALLER_PROJECT = os.path.join(HERE, "package_caller")
# The project's own toolchain file of the callers' architecture: MinGW's GCC for x86 and x64,
# clang and lld with the ARM64 runtime for ARM64.
MINGW_TOOLCHAIN = os.path.join(os.environ["VELMAR_SOURCE_DIR"], "cmake", {
    "x86": "i686-w64-mingw32.cmake", "x64": "x86_64-w64-mingw32.cmake",
    "arm64": "aarch64-w64-mingw32.cmake"}[ARCH])
MSVC_TOOLCHAIN = os.path.join(HERE, "msvc_style.cmake")

# The entry point of a link without any C runtime, for the MSVC-style link.
MSVC_ENTRY = r"""
#include <windows.h>
#include "find_example_device.h"
void __cdecl start(void)
{
    ExitProcess((UINT)FindExampleDevice());
}
"""


class KitCaller(UnpackedRelease):
    def beside_simulator(self, folder):
        """What runs the example device beside a program: the stand-ins and the world."""
        for file in (PLACE + "simulator/hid.dll", PLACE + "simulator/setupapi.dll",
                     "simulator/example-world.txt"):
            shutil.copy(self.path(file), folder)

    def run_find_example_device(self, folder, program):
        self.beside_simulator(folder)
        result = run_under_wine(program, folder, simulator=True)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)


class CMakePackage(KitCaller):
    def configure(self, wanted="1.2", *options):
        """Configures the caller project in a folder of its own; the package is found
        through CMAKE_PREFIX_PATH alone."""
        build = tempfile.mkdtemp(dir=self.scratch.name)
        return build, run(["cmake", "-S", CALLER_PROJECT, "-B", build, "-G", "Ninja",
                           f"-DCMAKE_PREFIX_PATH={self.folder}", f"-DVELMAR_WANTED={wanted}",
                           *options], self.scratch.name)

    def import_libraries(self, build):
        with open(os.path.join(build, "import_libraries.txt")) as file:
            return [os.path.relpath(line, self.folder) for line in file.read().split()]

    def test_a_mingw_caller_links_both_targets_and_finds_the_example_device(self):
        build, result = self.configure("1.2", f"-DCMAKE_TOOLCHAIN_FILE={MINGW_TOOLCHAIN}")
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertEqual(self.import_libraries(build),
                         [PLACE + "lib/libVelmar.a", PLACE + "simulator/libdevsim.a"])
        result = run(["cmake", "--build", build], build)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        for dll in ("Velmar.dll", "devsim.dll"):
            self.assertTrue(os.path.exists(os.path.join(build, dll)),
                            f"{dll} was not copied from the target's location")
        self.run_find_example_device(build, "find_example_device.exe")

    def test_the_version_asked_for_decides(self):
        toolchain = f"-DCMAKE_TOOLCHAIN_FILE={MINGW_TOOLCHAIN}"
        for wanted in ("1", "1.0", "1.2", "1.2.0"):
            with self.subTest(wanted=wanted):
                _, result = self.configure(wanted, toolchain)
                self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        for wanted in ("1.3", "2.0", "0.9"):
            with self.subTest(wanted=wanted):
                _, result = self.configure(wanted, toolchain)
                self.assertNotEqual(result.returncode, 0)
                self.assertIn("1.2.0", result.stderr)

    def test_builds_for_other_systems_and_processors_are_refused_with_a_reason(self):
        arm = os.path.join(self.scratch.name, "arm.cmake")
        with open(arm, "w") as file:
            file.write(f"include({MINGW_TOOLCHAIN})\nset(CMAKE_SYSTEM_PROCESSOR ARM)\n")
        for label, options, refusal in (
                ("the build machine's own", ["-DCMAKE_C_COMPILER=gcc"],
                 "Velmar is a Windows library, and this build is for Linux"),
                ("32-bit ARM Windows", [f"-DCMAKE_TOOLCHAIN_FILE={arm}"],
                 "this build is for ARM: configure an x86, x64 or ARM64 build")):
            with self.subTest(label):
                _, result = self.configure("1.2", *options)
                self.assertNotEqual(result.returncode, 0)
                self.assertIn(refusal, re.sub(r"\s+", " ", result.stderr))

    def test_an_msvc_style_caller_gets_the_msvc_import_libraries(self):
        """CMake configures the caller with clang-cl and lld-link and the package chooses
        Velmar.lib and devsim.lib. This machine has no Microsoft headers, and mingw-w64's do
        not compile in clang-cl's mode, so the caller is compiled by the cross compiler and
        linked by lld-link, MSVC-style, against exactly the libraries the package chose."""
        tools = os.path.join(self.scratch.name, "tools")
        os.makedirs(tools)
        clang_cl = os.path.join(tools, "clang-cl")
        os.symlink(shutil.which("clang-14") or shutil.which("clang"), clang_cl)
        build, result = self.configure("1.2", f"-DCMAKE_TOOLCHAIN_FILE={MSVC_TOOLCHAIN}",
                                       f"-DVELMAR_CLANG_CL={clang_cl}",
                                       f"-DVELMAR_MSVC_ARCH={ARCH}")
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertIn("MSVC-like command-line", result.stdout)
        libraries = self.import_libraries(build)
        self.assertEqual(libraries, [PLACE + "lib/Velmar.lib", PLACE + "simulator/devsim.lib"])

        with open(os.path.join(build, "entry.c"), "w") as file:
            file.write(MSVC_ENTRY)
        for source in ("entry.c", os.path.join(CALLER_PROJECT, "find_example_device.c")):
            result = run([GCC, "-c", source, f"-I{CALLER_PROJECT}", f"-I{self.path('include')}",
                          f"-I{self.path('simulator')}"], build)
            self.assertEqual(result.returncode, 0, result.stderr)
        result = run(msvc_style_link("msvc_caller.exe", [
            "entry.o", "find_example_device.o", *[self.path(library) for library in libraries]]),
            build)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        for dll in ("bin/Velmar.dll", "simulator/devsim.dll"):
            shutil.copy(self.path(PLACE + dll), build)
        self.run_find_example_device(build, "msvc_caller.exe")


class PkgConfig(KitCaller):
    def pkg_config(self, *arguments):
        environment = {"PKG_CONFIG_PATH": self.path(PLACE + "lib/pkgconfig"),
                       "PKG_CONFIG_LIBDIR": "", "PKG_CONFIG_SYSROOT_DIR": ""}
        result = run(["pkg-config", *arguments, "velmar"], self.scratch.name, **environment)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result.stdout.split()

    def test_the_flags_compile_and_link_a_c_caller(self):
        self.assertEqual(self.pkg_config("--modversion"), ["1.2.0"])
        flags = self.pkg_config("--cflags", "--libs")
        # The prefix is the .pc file's own folder and two levels up, so the paths lead into
        # the kit wherever it was unpacked.
        normalized = [flag[:2] + os.path.normpath(flag[2:]) if flag[:2] in ("-I", "-L") else flag
                      for flag in flags]
        self.assertEqual(normalized,
                         [f"-I{self.path('include')}", f"-L{self.path(PLACE + 'lib')}", "-lVelmar"])
        folder = self.simulated_folder("pkgconfig")
        with open(os.path.join(folder, "caller.c"), "w") as file:
            file.write(CALLER)
        result = run([GCC, "-o", "caller.exe", "caller.c", *flags], folder)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(os.path.join(folder, "world.txt"), "w") as file:
            file.write('interface pad vid=04D8 pid=F6F1 product="MX31K"\n')
        result = run_under_wine("caller.exe", folder, simulator=True,
                                DEVSIM_WORLD=os.path.join(folder, "world.txt"))
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)


class Relocatable(UnpackedRelease):
    def test_no_shipped_file_names_a_folder_of_the_build_machine(self):
        build = os.path.dirname(os.path.dirname(os.path.abspath(os.environ["VELMAR_RELEASE_ZIP"])))
        machine_paths = {os.environ["VELMAR_SOURCE_DIR"], build}
        for top, _, files in os.walk(self.folder):
            for name in files:
                with open(os.path.join(top, name), "rb") as file:
                    data = file.read()
                for path in machine_paths:
                    self.assertNotIn(path.encode(), data, os.path.join(top, name))


if __name__ == "__main__":
    unittest.main()
