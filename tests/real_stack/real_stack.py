"""The real-stack prefix from the host: prepares it, selects which virtual devices are
present, stages Windows programs inside it, runs them under Wine with a bound on time, and
reads what each virtual device received."""

import os
import shutil
import subprocess
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
PREFIX_SCRIPT = HERE.parent.parent / "scripts" / "hid_prefix.sh"
RUN_UNDER_WINE = HERE.parent.parent / "scripts" / "run_under_wine.sh"
BUILD_DIR = Path(os.environ.get("VELMAR_BUILD_DIR", HERE.parent.parent / "build" / "win32")).resolve()
DIST_DIR = BUILD_DIR / "dist"
# The removal scenarios have a prefix of their own (hid_prefix.sh reads the same variable).
PREFIX = Path(os.environ.get("VELMAR_HID_PREFIX", BUILD_DIR / "wineprefix-hid"))

VENDOR = "04D8"
PRODUCTS = ("F6F1", "F6F0", "00DF")
# Every bound here is generous; on an emulated CPU the project's scripts stretch them all.
TIME_SCALE = int(os.environ.get("VELMAR_TIME_SCALE", "1"))


def _prefix_script(*arguments, timeout=600):
    subprocess.run([str(PREFIX_SCRIPT), arguments[0], str(BUILD_DIR), *arguments[1:]],
                   check=True, timeout=timeout * TIME_SCALE, stdin=subprocess.DEVNULL)


def prepare():
    """Creates the prefix and installs the devices, unless that is done already."""
    _prefix_script("prepare")


def select(scenario, present):
    """Makes exactly the products in `present` present, logging afresh, and restarts."""
    _prefix_script("select", scenario, *present)


def stop():
    _prefix_script("stop", timeout=120)


def device_log_path(scenario, product):
    """The Windows path of a device's log in a scenario."""
    return f"C:\\vhid-logs\\{scenario}\\{product}.log"


def device_log(scenario, product):
    """The lines a device logged in a scenario; none when it received nothing."""
    log = PREFIX / "drive_c" / "vhid-logs" / scenario / f"{product}.log"
    return log.read_text().splitlines() if log.exists() else []


def stage(folder, files):
    """Copies files into C:\\<folder> of the prefix, emptied first."""
    target = PREFIX / "drive_c" / folder
    shutil.rmtree(target, ignore_errors=True)
    target.mkdir(parents=True)
    for file in files:
        shutil.copy2(file, target)


class WineTimeout(AssertionError):
    pass


def run(folder, program, arguments=(), timeout=20, environment=None, native=()):
    """Runs C:\\<folder>\\<program> under Wine in that folder, with Wine's own DLLs but for
    those named in `native`, which come from beside the program. A program that outlives
    `timeout` (one waiting on a message box, say) is killed and reported as a failure."""
    windows_program = f"C:\\{folder}\\{program}"
    beside = [word for dll in native for word in ("--native", dll)]
    try:
        return subprocess.run([str(RUN_UNDER_WINE), *beside, str(PREFIX), windows_program,
                               *arguments],
                              env=dict(os.environ, **(environment or {})),
                              cwd=PREFIX / "drive_c" / folder, capture_output=True, text=True,
                              errors="replace", timeout=timeout * TIME_SCALE,
                              stdin=subprocess.DEVNULL)
    except subprocess.TimeoutExpired as expired:
        raise WineTimeout(f"{windows_program} did not end within {timeout * TIME_SCALE} s; a "
                          "program that shows a message box waits for a user") from expired


def describe(scenario, present):
    """What each device received in a scenario, in lines for a person to read."""
    lines = [f"scenario {scenario}: present {', '.join(present) or 'none'}"]
    for product in PRODUCTS:
        log = device_log(scenario, product)
        state = "present" if product in present else "absent"
        received = "; ".join(log) if log else "nothing"
        lines.append(f"  {VENDOR}:{product} ({state}) received: {received}")
    return "\n".join(lines)


class InPrefix(unittest.TestCase):
    """Tests that run in the real-stack prefix: prepared once before them, its session ended
    after them."""

    @classmethod
    def setUpClass(cls):
        prepare()

    @classmethod
    def tearDownClass(cls):
        stop()
