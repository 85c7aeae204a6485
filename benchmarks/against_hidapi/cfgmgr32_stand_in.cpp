// cfgmgr32.dll as hidapi 0.13 uses it, for Wine 8, whose cfgmgr32 cannot serve hidapi: it
// lacks CM_Get_Device_Interface_PropertyW (as Windows 7's does), so that hid_init() fails
// ("Procedure not found"), and its CM_Get_Device_Interface_List_SizeW answers
// CR_CALL_NOT_IMPLEMENTED while CM_Get_Device_Interface_ListW is a stub. These three answer
// as Windows 8 and later do: the lists from setupapi's interface walk, the one property hidapi
// asks of an interface, its device's instance ID, from the interface's path (Wine 8's
// SetupDiOpenDeviceInterfaceW, which would look it up, is a stub too). The other functions
// hidapi looks up are forwarded to setupapi's own (cfgmgr32_stand_in.def), where Wine's
// cfgmgr32 forwards them too.
// Wine's relay log cannot show calls into a DLL that is not Wine's own: with
// VELMAR_CFGMGR32_TRACE set, each call is written to the debug output instead, for the
// benchmark's count of platform calls (count_calls.py).
#define _CFGMGR32_ // the functions are defined here, not imported
#include <windows.h>

#include <initguid.h>

#include <cfgmgr32.h>
#include <devpkey.h>
#include <devpropdef.h>
#include <setupapi.h>

#include "platform_handles.h"

#include <cstdio>
#include <cstring>
#include <cwctype>
#include <string>

namespace {

const bool kTraced = GetEnvironmentVariableA("VELMAR_CFGMGR32_TRACE", nullptr, 0) != 0;

void Trace(const char* function) {
    if (kTraced) {
        char line[96];
        std::snprintf(line, sizeof line, "velmar-calls call cfgmgr32.%s", function);
        OutputDebugStringA(line);
    }
}

union InterfaceDetail {
    SP_DEVICE_INTERFACE_DETAIL_DATA_W detail;
    BYTE bytes[2048];
};

// The paths of the class's interfaces, each ended by a NUL, and one NUL more.
bool InterfaceList(const GUID& interface_class, ULONG flags, std::wstring& list) {
    const DWORD present = flags == CM_GET_DEVICE_INTERFACE_LIST_ALL_DEVICES ? 0 : DIGCF_PRESENT;
    const UniqueDeviceInfoSet set(
        SetupDiGetClassDevsW(&interface_class, nullptr, nullptr, DIGCF_DEVICEINTERFACE | present));
    if (set.get() == INVALID_HANDLE_VALUE) {
        return false;
    }
    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof data;
    for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set.get(), nullptr, &interface_class, i, &data);
         ++i) {
        InterfaceDetail detail = {};
        detail.detail.cbSize = sizeof detail.detail;
        if (SetupDiGetDeviceInterfaceDetailW(set.get(), &data, &detail.detail, sizeof detail,
                                             nullptr, nullptr)) {
            list += detail.detail.DevicePath;
            list += L'\0';
        }
    }
    list += L'\0';
    return true;
}

// An interface path is "\\?\" and its device's instance ID with '#' for each '\', then '#'
// and the interface class: \\?\hid#vid_1209&pid_0b01#0#{4d1e55b2-...} belongs to
// HID\VID_1209&PID_0B01\0.
std::wstring InstanceIdOf(const wchar_t* path) {
    std::wstring id = path;
    const size_t classStart = id.rfind(L"#{");
    if (id.compare(0, 4, L"\\\\?\\") != 0 || classStart == std::wstring::npos) {
        return L"";
    }
    id = id.substr(4, classStart - 4);
    for (wchar_t& c : id) {
        c = c == L'#' ? L'\\' : static_cast<wchar_t>(towupper(c));
    }
    return id;
}

// The list that both list functions answer from, for the requests hidapi makes.
CONFIGRET ListFor(LPGUID interface_class, DEVINSTID_W device, ULONG flags, std::wstring& list) {
    if (!interface_class) {
        return CR_INVALID_POINTER;
    }
    if (device && *device) {
        return CR_INVALID_DEVICE_ID; // hidapi never narrows the list to one device
    }
    if (flags & ~CM_GET_DEVICE_INTERFACE_LIST_BITS) {
        return CR_INVALID_FLAG;
    }
    return InterfaceList(*interface_class, flags, list) ? CR_SUCCESS : CR_FAILURE;
}

} // namespace

extern "C" CONFIGRET WINAPI CM_Get_Device_Interface_List_SizeW(PULONG length,
                                                               LPGUID interface_class,
                                                               DEVINSTID_W device, ULONG flags) {
    Trace("CM_Get_Device_Interface_List_SizeW");
    std::wstring list;
    const CONFIGRET result =
        length ? ListFor(interface_class, device, flags, list) : CR_INVALID_POINTER;
    if (result == CR_SUCCESS) {
        *length = static_cast<ULONG>(list.size());
    }
    return result;
}

extern "C" CONFIGRET WINAPI CM_Get_Device_Interface_ListW(LPGUID interface_class,
                                                          DEVINSTID_W device, PZZWSTR buffer,
                                                          ULONG length, ULONG flags) {
    Trace("CM_Get_Device_Interface_ListW");
    std::wstring list;
    CONFIGRET result = buffer ? ListFor(interface_class, device, flags, list) : CR_INVALID_POINTER;
    if (result == CR_SUCCESS && list.size() > length) {
        result = CR_BUFFER_SMALL;
    }
    if (result == CR_SUCCESS) {
        std::memcpy(buffer, list.data(), list.size() * sizeof(wchar_t));
    }
    return result;
}

extern "C" CONFIGRET WINAPI CM_Get_Device_Interface_PropertyW(LPCWSTR interface_path,
                                                              const DEVPROPKEY* key,
                                                              DEVPROPTYPE* type, PBYTE buffer,
                                                              PULONG size, ULONG flags) {
    Trace("CM_Get_Device_Interface_PropertyW");
    if (!interface_path || !key || !type || !size) {
        return CR_INVALID_POINTER;
    }
    if (flags) {
        return CR_INVALID_FLAG;
    }
    if (!IsEqualDevPropKey(*key, DEVPKEY_Device_InstanceId)) {
        return CR_NO_SUCH_VALUE;
    }
    const std::wstring id = InstanceIdOf(interface_path);
    if (id.empty()) {
        return CR_NO_SUCH_DEVICE_INTERFACE;
    }
    const ULONG needed = static_cast<ULONG>((id.size() + 1) * sizeof(wchar_t));
    *type = DEVPROP_TYPE_STRING;
    const bool fits = buffer && *size >= needed;
    if (fits) {
        std::memcpy(buffer, id.c_str(), needed);
    }
    *size = needed;
    return fits ? CR_SUCCESS : CR_BUFFER_SMALL;
}
