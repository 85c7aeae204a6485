// What one run of the installer is asked to do, from its command line.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// One value of the device's registry key, as the driver reads it.
struct DeviceValue {
    std::wstring name;
    DWORD type; // REG_DWORD or REG_SZ
    DWORD number;
    std::wstring text;
};

struct InstallRequest {
    std::wstring instanceId; // ROOT\VID_vvvv&PID_pppp\n
    std::wstring infPath;    // empty: the device exists already, only change its values
    bool remove = false;     // take the instance out of the system, as an unplugged device
    std::vector<DeviceValue> values;
};

// Reads the command line (without the program name); on a mistake, returns false and says
// what is wrong in `error`.
bool ParseInstallRequest(const std::vector<std::wstring>& arguments, InstallRequest& request,
                         std::wstring& error);

extern const wchar_t kUsage[];
