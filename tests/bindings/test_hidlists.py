"""The Pascal and the C# hidlist, built on the generated bindings, against the C one: the
same bytes on standard output for the same simulated world, and their command reaching the
device. The C# one runs on the Windows .NET runtime's dotnet.exe, which lies beside them as
Velmar.dll's own search for the simulator's hid.dll needs: in the host program's folder.

Environment: VELMAR_HIDLIST (pascal or csharp), VELMAR_SOURCE_DIR, VELMAR_EXAMPLES_DIR (the
programs), VELMAR_SIM_DIR (Velmar.dll beside the device simulator), VELMAR_DOTNET_RUNTIME
(dotnet.exe and its framework, for C#) and the Wine session's VELMAR_WINEPREFIX.
"""
import os
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

SOURCE = os.environ["VELMAR_SOURCE_DIR"]
EXAMPLES = os.environ["VELMAR_EXAMPLES_DIR"]
RUN_UNDER_WINE = os.path.join(SOURCE, "scripts", "run_under_wine.sh")
PREFIX = os.environ["VELMAR_WINEPREFIX"]
TIMEOUT = 120 * int(os.environ.get("VELMAR_TIME_SCALE", "1"))
# Each language's files beside the C program, and the command that runs it.
LANGUAGES = {
    "pascal": (["hidlist_pascal.exe"], ["hidlist_pascal.exe"]),
    "csharp": (["hidlist_csharp.dll", "hidlist_csharp.runtimeconfig.json"],
               ["dotnet.exe", "hidlist_csharp.dll"]),
}
FILES, COMMAND = LANGUAGES[os.environ["VELMAR_HIDLIST"]]
PROGRAMS = [os.path.join(EXAMPLES, name) for name in ["hidlist.exe", *FILES]]
BESIDE = [os.path.join(os.environ["VELMAR_SIM_DIR"], name)
          for name in ("Velmar.dll", "devsim.dll", "hid.dll", "setupapi.dll")]
RUNTIME = os.environ.get("VELMAR_DOTNET_RUNTIME", "")
# Under user-mode emulation QEMU hands Wine's 32-bit loader each page fault without its trap
# number, so Wine cannot serve the write-watched pages that the runtime's garbage collector
# starts on, and the runtime stops at once with this line.
RUNTIME_UNDER_QEMU = b"Failed to initialize CoreCLR, HRESULT: 0x80004005"

with open(os.path.join(SOURCE, "release", "example-world.txt"), encoding="utf-8") as file:
    EXAMPLE_WORLD = file.read()
# Strings outside ASCII (the Russian locale makes the ANSI code page 1251), an interface
# that cannot be opened before one that can and after the last, and the widest fields.
ODD_WORLD = """
interface pad vid=04D8 pid=F6F1 version=0100 manufacturer="Микрочип" product="Пульт \\"МХ\\"" serial="№7" input=64 output=65 feature=255 buffers=512
interface unplugged vid=04D8 pid=F6F2 open=absent
interface gadget vid=abcd pid=1 version=FFFF manufacturer="Caf\\u00e9" product="x" buffers=0
interface gone vid=1234 pid=5678 open=absent
"""
# Each world with a line that only its listing has.
WORLDS = {
    "example": (EXAMPLE_WORLD, b"\r\n2 interface(s) listed.\r\n"),
    "odd": (ODD_WORLD, b'\r\n    1  (present, but could not be opened)\r\n'),
    "odd strings": (ODD_WORLD, '"Микрочип" / "Пульт "МХ"" / "№7"'.encode("cp1251")),
    "empty": ("", b"No HID interface is present.\r\n"),
}


class Hidlist(unittest.TestCase):
    def world_folder(self, world):
        """A fresh folder with both programs, the library and the simulator, the runtime
        (linked, not copied: 60 MB) and the world, whose device files the simulator keeps
        beside it."""
        folder = self.enterContext(tempfile.TemporaryDirectory())
        for file in PROGRAMS + BESIDE:
            shutil.copy(file, folder)
        if RUNTIME:
            for name in os.listdir(RUNTIME):
                os.symlink(os.path.join(RUNTIME, name), os.path.join(folder, name))
        with open(os.path.join(folder, "world.txt"), "w", encoding="utf-8") as file:
            file.write(world)
        return folder

    def run_program(self, folder, command, *arguments):
        environment = dict(os.environ, DEVSIM_WORLD=os.path.join(folder, "world.txt"),
                           LC_ALL="ru_RU.UTF-8")
        result = subprocess.run([RUN_UNDER_WINE, "--simulator", PREFIX, *command, *arguments],
                                cwd=folder, env=environment, capture_output=True,
                                timeout=TIMEOUT)
        if RUNTIME_UNDER_QEMU in result.stdout + result.stderr and os.environ.get(
                "VELMAR_WINE_LOADER", "wine") != "wine":
            self.skipTest("the Windows .NET runtime does not start under user-mode emulation: "
                          "QEMU gives Wine no page fault's trap number, which the runtime's "
                          "write-watched heap needs; a host that runs 32-bit programs runs it")
        return result

    def device_files(self, folder):
        return {path.name: path.read_bytes() for path in Path(folder).glob("*.hid")}

    def test_lists_every_world_byte_for_byte_as_the_c_program(self):
        for name, (world, expected) in WORLDS.items():
            with self.subTest(name):
                folder = self.world_folder(world)
                c = self.run_program(folder, ["hidlist.exe"])
                other = self.run_program(folder, COMMAND)
                self.assertEqual((c.returncode, other.returncode), (0, 0),
                                 c.stderr + other.stderr)
                self.assertIn(expected, c.stdout)
                self.assertEqual(other.stdout, c.stdout)

    def test_sends_the_command_to_the_device(self):
        folder = self.world_folder(EXAMPLE_WORLD)
        listing = self.run_program(folder, ["hidlist.exe"]).stdout
        result = self.run_program(folder, COMMAND, "04d8", "F6F1", "42")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout, listing + b"Sent command 42 to 04D8:F6F1.\r\n")
        self.assertEqual(self.device_files(folder),
                         {"keyboard.hid": b"", "pad.hid": bytes([0, 0x42, 0, 0, 0, 0, 0])})

    def test_an_absent_device_gets_nothing(self):
        folder = self.world_folder(EXAMPLE_WORLD)
        result = self.run_program(folder, COMMAND, "04D8", "F6F2", "42")
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertTrue(result.stdout.endswith(b"\r\n04D8:F6F2 is not present.\r\n"),
                        result.stdout)
        self.assertEqual(set(self.device_files(folder).values()), {b""})

    def test_refuses_arguments_it_cannot_read(self):
        folder = self.world_folder(EXAMPLE_WORLD)
        for arguments in (["04D8", "F6F1"], ["04D8", "F6F1", "142"], ["04G8", "F6F1", "42"]):
            with self.subTest(arguments):
                result = self.run_program(folder, COMMAND, *arguments)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertTrue(result.stdout.startswith(b"Usage: hidlist [VID PID COMMAND]"))
        # The C# program loads the library only at its first call: no device may exist yet.
        self.assertFalse(any(self.device_files(folder).values()))


if __name__ == "__main__":
    unittest.main()
