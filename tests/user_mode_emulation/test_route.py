"""The user-mode route (user_mode_emulation/prepare.sh): where bookworm-backports cannot be
reached it fails in one line and makes nothing, and the scripts take the emulated machine
instead; where it can, its loader runs a Windows program in the suite's session with the
same result as this build's own route.

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
# The scripts' own folder for the route, kept from run to run.
ROUTE_FOLDER = SOURCE / "build" / "user_mode_emulation"
RUN_UNDER_WINE = SOURCE / "scripts" / "run_under_wine.sh"
TIMEOUT = 120 * int(os.environ.get("VELMAR_TIME_SCALE", "1"))

# apt-get on a host that cannot reach the mirror.
UNREACHABLE = "E: Failed to fetch http://deb.debian.org/debian/dists/bookworm-backports/InRelease  Could not resolve 'deb.debian.org'"
APT_GET = f'#!/bin/bash\necho "W: stand-in" >&2\necho "{UNREACHABLE}" >&2\nexit 100\n'


def prepare(folder, **environment):
    return subprocess.run(["bash", str(PREPARE), str(folder)], capture_output=True, text=True,
                          timeout=TIMEOUT, stdin=subprocess.DEVNULL,
                          env={**os.environ, **environment})


class UserModeRoute(unittest.TestCase):
    def test_without_backports_it_fails_in_one_line_and_makes_nothing(self):
        scratch = Path(self.enterContext(tempfile.TemporaryDirectory()))
        (scratch / "bin").mkdir()
        (scratch / "bin" / "apt-get").write_text(APT_GET)
        (scratch / "bin" / "apt-get").chmod(0o755)
        result = prepare(scratch / "route", PATH=f"{scratch / 'bin'}:{os.environ['PATH']}")
        self.assertNotEqual(result.returncode, 0)
        self.assertEqual(result.stdout, "")
        self.assertEqual(result.stderr.splitlines(),
                         [f"bookworm-backports cannot be reached: {UNREACHABLE}"])
        self.assertFalse((scratch / "route" / "wine-tree").exists())
        self.assertFalse((scratch / "route" / "qemu-user").exists())

    def test_its_loader_lists_a_world_as_this_builds_route_does(self):
        if os.environ.get("VELMAR_INSIDE_EMULATED_MACHINE"):
            self.skipTest("the emulated machine executes 32-bit programs itself")
        made = prepare(ROUTE_FOLDER)
        if made.returncode != 0:
            self.skipTest(f"no user-mode route on this host: {made.stderr.strip()}")
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
