"""devcmd.exe and Velmar.dll as built, against Wine's own setupapi.dll, hid.dll and HID
class driver: which virtual device receives the command report in each scenario."""

import unittest

import real_stack

COMMAND = "write 42 00 00 00 00 00"


class DevcmdOnRealStack(real_stack.InPrefix):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        real_stack.stage("devcmd-run", [real_stack.DIST_DIR / "devcmd.exe",
                                        real_stack.DIST_DIR / "Velmar.dll"])

    def run_devcmd(self, scenario, present):
        real_stack.select(scenario, present)
        result = real_stack.run("devcmd-run", "devcmd.exe", timeout=20)
        print("\n" + real_stack.describe(scenario, present))
        self.assertEqual(result.returncode, 0, result.stderr)
        return {product: real_stack.device_log(scenario, product)
                for product in real_stack.PRODUCTS}

    def test_only_f6f1_present_receives_the_command_once(self):
        logs = self.run_devcmd("devcmd_f6f1", ["F6F1"])
        self.assertEqual(logs, {"F6F1": [COMMAND], "F6F0": [], "00DF": []})

    def test_f6f0_present_means_nothing_is_sent(self):
        logs = self.run_devcmd("devcmd_f6f0_f6f1", ["F6F0", "F6F1"])
        self.assertEqual(logs, {"F6F1": [], "F6F0": [], "00DF": []})

    def test_only_00df_present_receives_the_command_once(self):
        logs = self.run_devcmd("devcmd_00df", ["00DF"])
        self.assertEqual(logs, {"F6F1": [], "F6F0": [], "00DF": [COMMAND]})


if __name__ == "__main__":
    unittest.main()
