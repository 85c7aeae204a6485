"""Virtual devices removed and added again under Velmar.dll on Wine's own HID stack: runs
the Windows test program device_removal_test.exe, which adds and removes devices of vendor
1209 itself while it works on them, and prints the figures it measured."""

import os
import unittest

import real_stack

SCENARIO = "removal"


class RemovalOnRealStack(real_stack.InPrefix):
    def test_devices_come_and_go_under_the_library(self):
        # The INF installs the driver from its own folder.
        device_dir = real_stack.BUILD_DIR / "virtual_hid_device"
        real_stack.stage("removal-run", [
            real_stack.BUILD_DIR / "real_stack" / "device_removal_test.exe",
            real_stack.DIST_DIR / "Velmar.dll",
            device_dir / "velmar_virtual_hid.inf", device_dir / "velmar_virtual_hid.sys"])
        # None of devcmd's products: the program's own devices are the only ones it touches.
        real_stack.select(SCENARIO, [])
        arguments = os.environ.get("REAL_STACK_GTEST_ARGS", "").split()
        result = real_stack.run(
            "removal-run", "device_removal_test.exe", arguments, timeout=600,
            environment={"VHID_INF": "C:\\removal-run\\velmar_virtual_hid.inf"})
        print("\n" + result.stdout)
        self.assertEqual(result.returncode, 0, result.stdout[-4000:] + result.stderr[-2000:])


if __name__ == "__main__":
    unittest.main()
