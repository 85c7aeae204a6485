"""Velmar.dll's exports against Wine's own HID stack and the virtual device 04D8:F6F1:
runs the Windows test program real_stack_exports_test.exe beside the built library."""

import os
import unittest

import real_stack

SCENARIO = "library"


class LibraryOnRealStack(real_stack.InPrefix):
    def test_exports_reach_the_virtual_device(self):
        real_stack.stage("library-run", [
            real_stack.BUILD_DIR / "real_stack" / "real_stack_exports_test.exe",
            real_stack.DIST_DIR / "Velmar.dll"])
        real_stack.select(SCENARIO, ["F6F1"])
        arguments = os.environ.get("REAL_STACK_GTEST_ARGS", "").split()
        result = real_stack.run(
            "library-run", "real_stack_exports_test.exe", arguments, timeout=120,
            environment={"REAL_STACK_DEVICE_LOG": real_stack.device_log_path(SCENARIO, "F6F1")})
        print("\n" + result.stdout)
        print(real_stack.describe(SCENARIO, ["F6F1"]))
        self.assertEqual(result.returncode, 0, result.stdout[-3000:] + result.stderr[-2000:])


if __name__ == "__main__":
    unittest.main()
