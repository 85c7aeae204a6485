// virtual_hid_install: installs or updates one instance of the virtual HID device, or only
// changes its configuration (such as its Present switch). Runs under Wine; see
// virtual_hid_device/README.md. Exit code 0 on success, 1 for a usage mistake, 2 when the
// system refused.
#include "device_instance.h"
#include "install_request.h"

#include <cstdio>
#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> arguments(argv + 1, argv + argc);
    InstallRequest request;
    std::wstring error;
    if (!ParseInstallRequest(arguments, request, error)) {
        std::fwprintf(stderr, L"virtual_hid_install: %ls\n%ls", error.c_str(), kUsage);
        return 1;
    }
    bool done = true;
    if (request.remove) {
        done = RemoveDeviceInstance(request.instanceId, error);
    } else if (!request.infPath.empty()) {
        // The values go in before the driver, so that a device started by the installation
        // already finds them.
        done = EnsureDeviceInstance(request.instanceId, error) &&
               WriteDeviceValues(request.instanceId, request.values, error) &&
               InstallDriver(request.infPath, error);
    } else {
        done = WriteDeviceValues(request.instanceId, request.values, error);
    }
    if (!done) {
        std::fwprintf(stderr, L"virtual_hid_install: %ls: %ls\n", request.instanceId.c_str(),
                      error.c_str());
        return 2;
    }
    const wchar_t* what = request.remove            ? L"removed"
                          : request.infPath.empty() ? L"configured"
                                                    : L"installed";
    std::wprintf(L"virtual_hid_install: %ls %ls\n", request.instanceId.c_str(), what);
    return 0;
}
