"""The C# hidlist on the Windows .NET runtime, with Velmar.dll as built, against Wine's own
setupapi.dll, hid.dll and HID class driver: its listing is the C hidlist's, and its command
report reaches the virtual device.

Environment (besides real_stack's): VELMAR_DOTNET_RUNTIME, dotnet.exe and its framework.
"""
import os
import unittest
from pathlib import Path

import real_stack

SCENARIO = "csharp"
FOLDER = "csharp-run"


class CsharpOnRealStack(real_stack.InPrefix):
    def test_lists_as_the_c_program_and_sends_the_command(self):
        examples = real_stack.BUILD_DIR / "examples"
        real_stack.stage(FOLDER, [examples / "hidlist.exe", examples / "hidlist_csharp.dll",
                                  examples / "hidlist_csharp.runtimeconfig.json",
                                  real_stack.DIST_DIR / "Velmar.dll"])
        # The runtime beside the programs, linked: Velmar.dll looks for hid.dll in the host
        # program's folder first, and here that must find Wine's own.
        for item in Path(os.environ["VELMAR_DOTNET_RUNTIME"]).iterdir():
            (real_stack.PREFIX / "drive_c" / FOLDER / item.name).symlink_to(item)
        real_stack.select(SCENARIO, ["F6F1"])
        c = real_stack.run(FOLDER, "hidlist.exe")
        csharp = real_stack.run(FOLDER, "dotnet.exe", ["hidlist_csharp.dll"], timeout=60)
        self.assertEqual((c.returncode, csharp.returncode), (0, 0), c.stderr + csharp.stderr)
        self.assertIn("04D8:F6F1", c.stdout)
        self.assertEqual(csharp.stdout, c.stdout)
        sent = real_stack.run(FOLDER, "dotnet.exe", ["hidlist_csharp.dll", "04D8", "F6F1", "42"],
                              timeout=60)
        print("\n" + sent.stdout + real_stack.describe(SCENARIO, ["F6F1"]))
        self.assertEqual(sent.returncode, 0, sent.stderr)
        self.assertEqual(sent.stdout, c.stdout + "Sent command 42 to 04D8:F6F1.\n")
        self.assertEqual(real_stack.device_log(SCENARIO, "F6F1"), ["write 42 00 00 00 00 00"])


if __name__ == "__main__":
    unittest.main()
