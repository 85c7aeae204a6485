#include "device_instance.h"

#include <initguid.h>
#include <devguid.h>
#include <newdev.h>
#include <setupapi.h>

const wchar_t kVirtualHidHardwareId[] = L"ROOT\\VelmarVirtualHid";
// The driver file as the INF names it, beside the INF and once installed.
const wchar_t kDriverFile[] = L"velmar_virtual_hid.sys";

namespace {

class DeviceInfoSet {
public:
    DeviceInfoSet() : set_(SetupDiCreateDeviceInfoList(nullptr, nullptr)) {}
    ~DeviceInfoSet() {
        if (set_ != INVALID_HANDLE_VALUE) {
            SetupDiDestroyDeviceInfoList(set_);
        }
    }
    DeviceInfoSet(const DeviceInfoSet&) = delete;
    DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;

    HDEVINFO get() const { return set_; }

private:
    HDEVINFO set_;
};

std::wstring Failure(const wchar_t* what) {
    return std::wstring(what) + L" failed, error " + std::to_wstring(GetLastError());
}

bool OpenInstance(const DeviceInfoSet& set, const std::wstring& instanceId, SP_DEVINFO_DATA& data) {
    data = {};
    data.cbSize = sizeof(data);
    return SetupDiOpenDeviceInfoW(set.get(), instanceId.c_str(), nullptr, 0, &data) != FALSE;
}

bool OpenExistingInstance(const DeviceInfoSet& set, const std::wstring& instanceId,
                          SP_DEVINFO_DATA& data, std::wstring& error) {
    if (OpenInstance(set, instanceId, data)) {
        return true;
    }
    error = Failure((L"finding device instance " + instanceId).c_str());
    return false;
}

bool SetHardwareId(const DeviceInfoSet& set, SP_DEVINFO_DATA& data) {
    // A list of strings that ends with an empty one.
    std::wstring ids = kVirtualHidHardwareId;
    ids.push_back(L'\0');
    ids.push_back(L'\0');
    return SetupDiSetDeviceRegistryPropertyW(
               set.get(), &data, SPDRP_HARDWAREID, reinterpret_cast<const BYTE*>(ids.data()),
               static_cast<DWORD>(ids.size() * sizeof(wchar_t))) != FALSE;
}

bool WriteValue(HKEY key, const DeviceValue& value) {
    if (value.type == REG_DWORD) {
        return RegSetValueExW(key, value.name.c_str(), 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&value.number),
                              sizeof(value.number)) == ERROR_SUCCESS;
    }
    return RegSetValueExW(key, value.name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.text.c_str()),
                          static_cast<DWORD>((value.text.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
}

std::string FileContents(const std::wstring& path) {
    std::string contents;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return contents;
    }
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        contents.append(buffer, read);
    }
    CloseHandle(file);
    return contents;
}

// The installation reports success even when the driver file could not be replaced (a
// loaded driver is in use), so the installed file is compared with the INF's.
bool DriverFileInstalled(const std::wstring& infFullPath) {
    std::wstring source = infFullPath.substr(0, infFullPath.find_last_of(L'\\') + 1) + kDriverFile;
    wchar_t system[MAX_PATH];
    UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return false;
    }
    std::wstring installed = std::wstring(system) + L"\\drivers\\" + kDriverFile;
    std::string expected = FileContents(source);
    return !expected.empty() && FileContents(installed) == expected;
}

} // namespace

bool EnsureDeviceInstance(const std::wstring& instanceId, std::wstring& error) {
    DeviceInfoSet set;
    SP_DEVINFO_DATA data;
    if (OpenInstance(set, instanceId, data)) {
        return true;
    }
    data = {};
    data.cbSize = sizeof(data);
    if (!SetupDiCreateDeviceInfoW(set.get(), instanceId.c_str(), &GUID_DEVCLASS_HIDCLASS, nullptr,
                                  nullptr, 0, &data)) {
        error = Failure(L"SetupDiCreateDeviceInfo");
        return false;
    }
    if (!SetHardwareId(set, data)) {
        error = Failure(L"SetupDiSetDeviceRegistryProperty(SPDRP_HARDWAREID)");
        return false;
    }
    if (!SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set.get(), &data)) {
        error = Failure(L"SetupDiCallClassInstaller(DIF_REGISTERDEVICE)");
        return false;
    }
    return true;
}

bool WriteDeviceValues(const std::wstring& instanceId, const std::vector<DeviceValue>& values,
                       std::wstring& error) {
    DeviceInfoSet set;
    SP_DEVINFO_DATA data;
    if (!OpenExistingInstance(set, instanceId, data, error)) {
        return false;
    }
    HKEY key =
        SetupDiCreateDevRegKeyW(set.get(), &data, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr, nullptr);
    if (key == INVALID_HANDLE_VALUE) {
        error = Failure(L"SetupDiCreateDevRegKey(DIREG_DEV)");
        return false;
    }
    bool written = true;
    for (const DeviceValue& value : values) {
        if (!WriteValue(key, value)) {
            error = L"writing value " + value.name + L" failed";
            written = false;
            break;
        }
    }
    RegCloseKey(key);
    return written;
}

bool RemoveDeviceInstance(const std::wstring& instanceId, std::wstring& error) {
    DeviceInfoSet set;
    SP_DEVINFO_DATA data;
    if (!OpenExistingInstance(set, instanceId, data, error)) {
        return false;
    }
    if (!SetupDiCallClassInstaller(DIF_REMOVE, set.get(), &data)) {
        error = Failure(L"SetupDiCallClassInstaller(DIF_REMOVE)");
        return false;
    }
    return true;
}

bool InstallDriverOnInstance(const std::wstring& instanceId, const std::wstring& infPath,
                             std::wstring& error) {
    DeviceInfoSet set;
    SP_DEVINFO_DATA data;
    if (!OpenExistingInstance(set, instanceId, data, error)) {
        return false;
    }
    SP_DEVINSTALL_PARAMS_W params = {};
    params.cbSize = sizeof(params);
    if (!SetupDiGetDeviceInstallParamsW(set.get(), &data, &params) ||
        !GetFullPathNameW(infPath.c_str(), MAX_PATH, params.DriverPath, nullptr)) {
        error = Failure(L"finding the INF");
        return false;
    }
    // Only this INF's drivers are candidates.
    params.Flags |= DI_ENUMSINGLEINF;
    if (!SetupDiSetDeviceInstallParamsW(set.get(), &data, &params) ||
        !SetupDiBuildDriverInfoList(set.get(), &data, SPDIT_COMPATDRIVER)) {
        error = Failure(L"SetupDiBuildDriverInfoList");
        return false;
    }
    if (!SetupDiCallClassInstaller(DIF_SELECTBESTCOMPATDRV, set.get(), &data) ||
        !SetupDiCallClassInstaller(DIF_INSTALLDEVICE, set.get(), &data)) {
        error = Failure(L"SetupDiCallClassInstaller(DIF_INSTALLDEVICE)");
        return false;
    }
    return true;
}

bool InstallDriver(const std::wstring& infPath, std::wstring& error) {
    wchar_t fullPath[MAX_PATH];
    if (!GetFullPathNameW(infPath.c_str(), MAX_PATH, fullPath, nullptr)) {
        error = Failure(L"GetFullPathName");
        return false;
    }
    BOOL rebootRequired = FALSE;
    if (!UpdateDriverForPlugAndPlayDevicesW(nullptr, kVirtualHidHardwareId, fullPath,
                                            INSTALLFLAG_FORCE, &rebootRequired)) {
        error = Failure(L"UpdateDriverForPlugAndPlayDevices");
        return false;
    }
    if (!DriverFileInstalled(fullPath)) {
        error = L"the installed driver file differs from the INF's: a loaded driver cannot be "
                L"replaced; install again with the driver not running";
        return false;
    }
    return true;
}
