"""The user-mode route (user_mode_emulation/prepare.sh): made from the emulator that the
set-up fetched into its cache, its loader runs a Windows program in the suite's session with
the same result as this build's own route. Run on every host: where the kernel executes
32-bit programs, this is the route's only run. (The fetch itself is tested with the set-up.)

Environment: VELMAR_SOURCE_DIR, VELMAR_EXAMPLES_DIR (hidlist.exe), VELMAR_SIM_DIR (Velmar.dll
beside the device simulator) and the Wine session's VELMAR_WINEPREFIX.
"""
import os
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

SOURCE = Path(os.environ["VELMAR_SOURCE_DIR"])
PREPARE = SOURCE / "user_mode_emulation" / "prepare.sh"
RUN_UNDER_WINE = SOURCE / "scripts" / "run_under_wine.sh"
TIMEOUT = 120 * int(os.environ.get("VELMAR_TIME_SCALE", "1"))


class UserModeRoute(unittest.TestCase):
    def test_its_loader_lists_a_world_as_this_builds_route_does(self):
        if os.environ.get("VELMAR_INSIDE_EMULATED_MACHINE"):
            self.skipTest("the emulated machine executes 32-bit programs itself")
        made = subprocess.run(["bash", str(PREPARE)], capture_output=True, text=True,
                              timeout=TIMEOUT, stdin=subprocess.DEVNULL)
        self.assertEqual(made.returncode, 0, made.stderr)
        folder = self.enterContext(tempfile.TemporaryDirectory())
        for file in ("Velmar.dll", "devsim.dll", "hid.dll", "setupapi.dll"):
            shutil.copy(Path(os.environ["VELMAR_SIM_DIR"]) / file, folder)
        shutil.copy(Path(os.environ["VELMAR_EXAMPLES_DIR"]) / "hidlist.exe", folder)
        # The simulator keeps the world's device files beside it.
        world = shutil.copy(SOURCE / "release" / "example-world.txt", folder)
        listings = []
        for loader in (os.environ.get("VELMAR_WINE_LOADER", "wine"), made.stdout.strip()):
            result = subprocess.run(
                [str(RUN_UNDER_WINE), "--simulator", os.environ["VELMAR_WINEPREFIX"], "hidlist.exe"],
                cwd=folder, capture_output=True, timeout=TIMEOUT,
                env={**os.environ, "VELMAR_WINE_LOADER": loader, "DEVSIM_WORLD": str(world)})
            self.assertEqual(result.returncode, 0, result.stderr)
            listings.append(result.stdout)
        self.assertIn(b"2 interface(s) listed.", listings[1])
        self.assertEqual(listings[1], listings[0])


if __name__ == "__main__":
    unittest.main()
