"""The emulated machine that runs Wine where the host's kernel cannot execute 32-bit
programs, tried on every host so that it cannot rot where it is not needed: a 32-bit
program runs inside it as the caller, in the caller's folder (under /tmp, where CI clones),
with the caller's environment, and its exit code and output come back; Ctrl-C and the
time-out each stop the machine and leave nothing behind."""

import glob
import os
import signal
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

PROJECT = Path(__file__).resolve().parents[2]
RUN = PROJECT / "emulated_machine" / "run.sh"
STATE = PROJECT / "build" / "emulated_machine"
BOOT_BOUND = 120


def machines_of(job_dir):
    """The emulators still running for a job folder."""
    found = subprocess.run(["pgrep", "-f", f"path={job_dir},"], capture_output=True, text=True)
    return found.stdout.split()


class EmulatedMachine(unittest.TestCase):
    def start(self, *command, **environment):
        """Starts run.sh in a session of its own, as a terminal would, and returns it with
        its job folder once the command has started inside the machine."""
        before = set(glob.glob(str(STATE / "job.*")))
        # Ctrl-C reaches a program started from a terminal: undo any inherited ignoring.
        process = subprocess.Popen(["env", "--default-signal=INT", str(RUN), *command],
                                   start_new_session=True,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                                   env=dict(os.environ, **environment))
        self.addCleanup(lambda: process.poll() is None and os.killpg(process.pid, signal.SIGKILL))
        deadline = time.monotonic() + BOOT_BOUND
        while time.monotonic() < deadline:
            started = [job for job in set(glob.glob(str(STATE / "job.*"))) - before
                       if os.path.exists(os.path.join(job, "started"))]
            if started:
                return process, started[0]
            if process.poll() is not None:
                self.fail("run.sh ended before the command started: " + process.stderr.read())
            time.sleep(0.2)
        self.fail(f"the machine did not start the command within {BOOT_BOUND} s")

    def assert_nothing_left(self, job_dir):
        self.assertFalse(os.path.exists(job_dir), "job folder removed")
        self.assertEqual(machines_of(job_dir), [], "no emulator left running")

    def test_runs_a_32_bit_program_as_the_caller_and_returns_its_exit_code(self):
        with tempfile.TemporaryDirectory() as folder:
            script = ('printf "%s\\n" "$ROUTE_PROBE"; /usr/lib/wine/wine --version; id -u; pwd; '
                      'echo made inside >made-inside.txt; echo to stderr >&2; exit 7')
            result = subprocess.run([str(RUN), "bash", "-c", script], cwd=folder,
                                    env=dict(os.environ, ROUTE_PROBE="two  words, 'quoted' $x"),
                                    capture_output=True, text=True, timeout=BOOT_BOUND + 60)
            self.assertEqual(result.returncode, 7, result.stderr)
            lines = result.stdout.splitlines()
            self.assertEqual(lines[0], "two  words, 'quoted' $x")
            self.assertRegex(lines[1], r"^wine-\d", "the 32-bit loader ran")
            self.assertIn("to stderr", lines[2:], "the command's standard error comes back too")
            lines.remove("to stderr")
            self.assertEqual(lines[2:4], [str(os.getuid()), folder])
            made = Path(folder, "made-inside.txt")
            self.assertEqual(made.read_text(), "made inside\n")
            self.assertEqual(made.stat().st_uid, os.getuid())

    def test_ctrl_c_stops_the_machine(self):
        process, job_dir = self.start("sleep", "600")
        os.killpg(process.pid, signal.SIGINT)
        process.communicate(timeout=30)
        self.assertEqual(process.returncode, 130)
        self.assert_nothing_left(job_dir)

    def test_a_command_that_outlives_the_bound_is_stopped(self):
        process, job_dir = self.start("sleep", "600", VELMAR_EMULATED_TIMEOUT="2")
        _, error = process.communicate(timeout=30)
        self.assertEqual(process.returncode, 1)
        self.assertIn("bound: 2 s", error)
        self.assert_nothing_left(job_dir)


if __name__ == "__main__":
    unittest.main()
