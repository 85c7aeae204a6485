"""hidapi and Velmar.dll on the same interfaces of Wine's own HID stack: runs the Windows
test program hidapi_agreement_test.exe, which adds devices of vendor 1209 itself and
compares hidapi's list with the library's table. hidapi needs a cfgmgr32.dll that Wine 8
lacks; the stand-in built beside the program serves it."""

import unittest

import real_stack

SCENARIO = "hidapi"


class HidapiAgreementOnRealStack(real_stack.InPrefix):
    def test_hidapi_and_the_library_list_the_same_interfaces(self):
        # The INF installs the driver from its own folder.
        device_dir = real_stack.BUILD_DIR / "virtual_hid_device"
        real_stack.stage("hidapi-run", [
            real_stack.BUILD_DIR / "real_stack" / "hidapi_agreement_test.exe",
            real_stack.BUILD_DIR / "real_stack" / "cfgmgr32.dll",
            real_stack.DIST_DIR / "Velmar.dll",
            device_dir / "velmar_virtual_hid.inf", device_dir / "velmar_virtual_hid.sys"])
        real_stack.select(SCENARIO, list(real_stack.PRODUCTS))
        result = real_stack.run(
            "hidapi-run", "hidapi_agreement_test.exe", timeout=300, native=["cfgmgr32"],
            environment={"VHID_INF": "C:\\hidapi-run\\velmar_virtual_hid.inf"})
        print("\n" + result.stdout)
        self.assertEqual(result.returncode, 0, result.stdout[-4000:] + result.stderr[-2000:])


if __name__ == "__main__":
    unittest.main()
