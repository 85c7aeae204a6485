#include "removable_devices.h"

#include "device_instance.h"
#include "support/time_bounds.h"

#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <cwctype>

namespace {

std::wstring InstanceId(const RemovableDevice& device) {
    wchar_t id[64];
    std::swprintf(id, 64, L"ROOT\\VID_%04X&PID_%04X\\%d", kRemovableVendor, device.product,
                  device.instance);
    return id;
}

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

DeviceValue Number(const wchar_t* name, DWORD number) {
    return {name, REG_DWORD, number, {}};
}

DeviceValue Text(const wchar_t* name, const std::wstring& text) {
    return {name, REG_SZ, 0, text};
}

std::vector<DeviceValue> Settings(const RemovableDevice& device) {
    wchar_t product[32];
    std::swprintf(product, 32, L"Removable %04X", device.product);
    return {Number(L"Present", 1),
            Number(L"VendorId", kRemovableVendor),
            Number(L"ProductId", device.product),
            Number(L"VersionNumber", 0x0100),
            Number(L"InputReportLength", kRemovableInputLength),
            Number(L"OutputReportLength", kRemovableOutputLength),
            Number(L"FeatureReportLength", kRemovableFeatureLength),
            Text(L"Manufacturer", L"Velmar Test Devices"),
            Text(L"Product", product),
            Text(L"SerialNumber", Wide(device.Serial())),
            Text(L"LogFile", L"")};
}

std::wstring InfPath() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"VHID_INF", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        std::fprintf(stderr, "VHID_INF does not name the virtual device's INF\n");
        std::exit(2);
    }
    return path;
}

bool Refused(const std::wstring& error) {
    std::fprintf(stderr, "the system refused: %ls\n", error.c_str());
    return false;
}

// Waits until `done` holds, polling; false when the bound passes first.
template <typename Condition>
bool WaitFor(Condition done) {
    const DWORD bound = ScaledBound(10000);
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > bound) {
            return false;
        }
        Sleep(20);
    }
    return true;
}

constexpr int kAnyProduct = -1;

// The device paths of the vendor's interfaces, of one product or of any, in the order in
// which the system lists them.
std::vector<std::wstring> InterfacePaths(int product) {
    std::vector<std::wstring> paths;
    GUID hidClass;
    HidD_GetHidGuid(&hidClass);
    HDEVINFO set =
        SetupDiGetClassDevsW(&hidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        return paths;
    }
    wchar_t needle[32];
    if (product == kAnyProduct) {
        std::swprintf(needle, 32, L"vid_%04x&pid_", kRemovableVendor);
    } else {
        std::swprintf(needle, 32, L"vid_%04x&pid_%04x", kRemovableVendor, product);
    }
    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof data;
    for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &hidClass, i, &data); ++i) {
        BYTE buffer[1024] = {};
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer);
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (SetupDiGetDeviceInterfaceDetailW(set, &data, detail, sizeof buffer - 2, nullptr,
                                             nullptr)) {
            std::wstring lower = detail->DevicePath;
            for (wchar_t& c : lower) {
                c = static_cast<wchar_t>(towlower(c));
            }
            if (lower.find(needle) != std::wstring::npos) {
                paths.push_back(detail->DevicePath);
            }
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    return paths;
}

int CountInterfaces(int product) {
    return static_cast<int>(InterfacePaths(product).size());
}

} // namespace

std::string RemovableDevice::Serial() const {
    char serial[32];
    std::snprintf(serial, sizeof serial, "R%04X-%d", product, instance);
    return serial;
}

std::vector<std::string> SerialsInListOrder(WORD product) {
    std::vector<std::string> serials;
    for (const std::wstring& path : InterfacePaths(product)) {
        HANDLE device = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        wchar_t serial[128] = {};
        if (device != INVALID_HANDLE_VALUE) {
            HidD_GetSerialNumberString(device, serial, sizeof serial - sizeof(wchar_t));
            CloseHandle(device);
        }
        serials.emplace_back(serial, serial + wcslen(serial));
    }
    return serials;
}

bool AddDevices(const std::vector<RemovableDevice>& devices) {
    std::wstring error;
    for (const RemovableDevice& device : devices) {
        if (!EnsureDeviceInstance(InstanceId(device), error) ||
            !WriteDeviceValues(InstanceId(device), Settings(device), error) ||
            !InstallDriverOnInstance(InstanceId(device), InfPath(), error)) {
            return Refused(error);
        }
    }
    return WaitFor([&] {
        for (const RemovableDevice& device : devices) {
            int expected = 0;
            for (const RemovableDevice& other : devices) {
                expected += other.product == device.product;
            }
            if (CountInterfaces(device.product) < expected) {
                return false;
            }
        }
        return true;
    });
}

bool AddDevice(const RemovableDevice& device) {
    return AddDevices({device});
}

bool RemoveDevice(const RemovableDevice& device) {
    const int before = CountInterfaces(device.product);
    std::wstring error;
    if (!RemoveDeviceInstance(InstanceId(device), error)) {
        return Refused(error);
    }
    return WaitFor([&] { return CountInterfaces(device.product) < before; });
}

bool RemoveAllDevices() {
    HDEVINFO set = SetupDiGetClassDevsW(nullptr, L"ROOT", nullptr, DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE) {
        return false;
    }
    wchar_t prefix[32];
    std::swprintf(prefix, 32, L"ROOT\\VID_%04X&PID_", kRemovableVendor);
    std::vector<std::wstring> ids;
    SP_DEVINFO_DATA data = {};
    data.cbSize = sizeof data;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &data); ++i) {
        wchar_t id[256] = {};
        if (SetupDiGetDeviceInstanceIdW(set, &data, id, 256, nullptr) &&
            _wcsnicmp(id, prefix, wcslen(prefix)) == 0) {
            ids.push_back(id);
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    for (const std::wstring& id : ids) {
        std::wstring error;
        RemoveDeviceInstance(id, error);
    }
    return WaitFor([] { return CountInterfaces(kAnyProduct) == 0; });
}
