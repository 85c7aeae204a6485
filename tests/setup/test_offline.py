"""After the set-up, nothing the README's commands do before Wine starts touches the network:
in a network namespace of its own, with no interface but a loopback that is down, the set-up
finds everything in place and says nothing, the user-mode route is made from the cache, and
a scratch tree of each preset configures and builds the library.

Environment: VELMAR_SOURCE_DIR.
"""
import os
import subprocess
import tempfile
import unittest
from pathlib import Path

SOURCE = Path(os.environ["VELMAR_SOURCE_DIR"])
TIMEOUT = 300


def offline(command, **options):
    """Runs the command without the network; its result."""
    return subprocess.run(["unshare", "--net", "--", *map(str, command)], capture_output=True,
                          text=True, timeout=TIMEOUT, stdin=subprocess.DEVNULL, **options)


class OfflineAfterSetUp(unittest.TestCase):
    def setUp(self):
        probe = offline(["true"])
        if probe.returncode != 0:
            self.skipTest(f"no network namespace can be made here: {probe.stderr.strip()}")

    def test_set_up_route_configure_and_build_need_no_network(self):
        interfaces = offline(["cat", "/proc/net/dev"]).stdout.splitlines()[2:]
        self.assertEqual([line.split(":")[0].strip() for line in interfaces], ["lo"])
        setup = offline(["bash", SOURCE / "scripts" / "setup.sh"])
        self.assertEqual((setup.returncode, setup.stdout, setup.stderr), (0, "", ""))
        route = offline(["bash", SOURCE / "user_mode_emulation" / "prepare.sh"])
        self.assertEqual(route.returncode, 0, route.stderr)
        scratch = Path(self.enterContext(tempfile.TemporaryDirectory()))
        for preset in ("win32", "win64", "winarm64"):
            with self.subTest(preset):
                tree = scratch / preset
                for command in (["cmake", "-S", SOURCE, "--preset", preset, "-B", tree],
                                ["cmake", "--build", tree, "--target", "Velmar"]):
                    result = offline(command)
                    self.assertEqual(result.returncode, 0, result.stdout[-2000:] + result.stderr)
                self.assertTrue((tree / "dist" / "Velmar.dll").is_file())

    def test_without_the_cache_only_the_tests_that_need_it_fail_each_in_one_line(self):
        scratch = Path(self.enterContext(tempfile.TemporaryDirectory()))
        environment = {**os.environ, "VELMAR_CACHE_DIR": str(scratch / "empty-cache")}
        tree = scratch / "win32"
        configured = offline(["cmake", "-S", SOURCE, "--preset", "win32", "-B", tree], env=environment)
        self.assertEqual(configured.returncode, 0, configured.stderr)
        needing = ["real_stack_hidapi", "bindings_pascal_hidlist", "bindings_csharp_hidlist",
                   "bindings_agree_with_the_library"]
        for test in needing:
            with self.subTest(test):
                result = offline(["ctest", "--test-dir", tree, "-R", f"^{test}$", "-V"], env=environment)
                self.assertNotEqual(result.returncode, 0)
                # ctest -V gives each line the test's number; the command line is not the test's.
                said = [line.split(": ", 1)[1] for line in result.stdout.splitlines()
                        if "missing from" in line and "Test command:" not in line]
                self.assertEqual(len(said), 1, result.stdout)
                self.assertIn(str(scratch / "empty-cache"), said[0])
                self.assertTrue(said[0].endswith(": bash scripts/setup.sh brings it"), said[0])
        # The ARM64 tree cannot be configured without its runtime: it says so in one line.
        arm64 = offline(["cmake", "-S", SOURCE, "--preset", "winarm64", "-B", scratch / "arm64"],
                        env=environment)
        self.assertNotEqual(arm64.returncode, 0)
        self.assertIn(f"The ARM64 C and C++ runtime is missing from {scratch / 'empty-cache'}",
                      " ".join(arm64.stderr.split()))
        self.assertIn("bash scripts/setup.sh builds it", " ".join(arm64.stderr.split()))


if __name__ == "__main__":
    unittest.main()
