// cfgmgr32.dll as hidapi 0.13 uses it, for Wine 8, whose cfgmgr32 cannot serve hidapi: it
// lacks CM_Get_Device_Interface_PropertyW (as Windows 7's does), so that hid_init() fails
// ("Procedure not found"), and its CM_Get_Device_Interface_List_SizeW answers
// CR_CALL_NOT_IMPLEMENTED while CM_Get_Device_Interface_ListW is a stub. These three answer
// from setupapi, as Windows 8 and later answer them; the other functions hidapi looks up are
// forwarded to setupapi's own (cfgmgr32_stand_in.def), where Wine's cfgmgr32 forwards them
// too.
#define _CFGMGR32_ // the functions are defined here, not imported
#include <windows.h>

#include <initguid.h>

#include <cfgmgr32.h>
#include <devpkey.h>
#include <devpropdef.h>
#include <setupapi.h>

#include <cstring>
#include <cwchar>
#include <string>

namespace {

// A device information set, destroyed on every way out.
class DeviceInfoSet {
public:
    explicit DeviceInfoSet(HDEVINFO set) : set_(set) {}
    ~DeviceInfoSet() {
        if (valid()) {
            SetupDiDestroyDeviceInfoList(set_);
        }
    }
    DeviceInfoSet(const DeviceInfoSet&) = delete;
    DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;
    bool valid() const { return set_ != INVALID_HANDLE_VALUE; }
    HDEVINFO get() const { return set_; }

private:
    HDEVINFO set_;
};

union InterfaceDetail {
    SP_DEVICE_INTERFACE_DETAIL_DATA_W detail;
    BYTE bytes[2048];
};

// The paths of the class's interfaces, each ended by a NUL, and one NUL more.
bool InterfaceList(const GUID& interface_class, ULONG flags, std::wstring& list) {
    const DWORD present = flags == CM_GET_DEVICE_INTERFACE_LIST_ALL_DEVICES ? 0 : DIGCF_PRESENT;
    DeviceInfoSet set(
        SetupDiGetClassDevsW(&interface_class, nullptr, nullptr, DIGCF_DEVICEINTERFACE | present));
    if (!set.valid()) {
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

CONFIGRET CheckListRequest(LPGUID interface_class, DEVINSTID_W device, ULONG flags) {
    if (!interface_class) {
        return CR_INVALID_POINTER;
    }
    if (device && *device) {
        return CR_INVALID_DEVICE_ID; // hidapi never narrows the list to one device
    }
    if (flags & ~CM_GET_DEVICE_INTERFACE_LIST_BITS) {
        return CR_INVALID_FLAG;
    }
    return CR_SUCCESS;
}

} // namespace

extern "C" CONFIGRET WINAPI CM_Get_Device_Interface_List_SizeW(PULONG length,
                                                               LPGUID interface_class,
                                                               DEVINSTID_W device, ULONG flags) {
    if (!length) {
        return CR_INVALID_POINTER;
    }
    const CONFIGRET checked = CheckListRequest(interface_class, device, flags);
    if (checked != CR_SUCCESS) {
        return checked;
    }
    std::wstring list;
    if (!InterfaceList(*interface_class, flags, list)) {
        return CR_FAILURE;
    }
    *length = static_cast<ULONG>(list.size());
    return CR_SUCCESS;
}

extern "C" CONFIGRET WINAPI CM_Get_Device_Interface_ListW(LPGUID interface_class,
                                                          DEVINSTID_W device, PZZWSTR buffer,
                                                          ULONG length, ULONG flags) {
    if (!buffer) {
        return CR_INVALID_POINTER;
    }
    const CONFIGRET checked = CheckListRequest(interface_class, device, flags);
    if (checked != CR_SUCCESS) {
        return checked;
    }
    std::wstring list;
    if (!InterfaceList(*interface_class, flags, list)) {
        return CR_FAILURE;
    }
    if (list.size() > length) {
        return CR_BUFFER_SMALL;
    }
    std::memcpy(buffer, list.data(), list.size() * sizeof(wchar_t));
    return CR_SUCCESS;
}

extern "C" CONFIGRET WINAPI CM_Get_Device_Interface_PropertyW(LPCWSTR interface_path,
                                                              const DEVPROPKEY* key,
                                                              DEVPROPTYPE* type, PBYTE buffer,
                                                              PULONG size, ULONG flags) {
    if (!interface_path || !key || !type || !size) {
        return CR_INVALID_POINTER;
    }
    if (flags) {
        return CR_INVALID_FLAG;
    }
    if (!IsEqualDevPropKey(*key, DEVPKEY_Device_InstanceId)) {
        return CR_NO_SUCH_VALUE;
    }
    DeviceInfoSet set(SetupDiCreateDeviceInfoList(nullptr, nullptr));
    if (!set.valid()) {
        return CR_OUT_OF_MEMORY;
    }
    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof data;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    InterfaceDetail detail = {};
    detail.detail.cbSize = sizeof detail.detail;
    wchar_t id[MAX_DEVICE_ID_LEN] = {};
    if (!SetupDiOpenDeviceInterfaceW(set.get(), interface_path, 0, &data) ||
        !SetupDiGetDeviceInterfaceDetailW(set.get(), &data, &detail.detail, sizeof detail, nullptr,
                                          &device) ||
        !SetupDiGetDeviceInstanceIdW(set.get(), &device, id, MAX_DEVICE_ID_LEN, nullptr)) {
        return CR_NO_SUCH_DEVICE_INTERFACE;
    }
    const ULONG needed = static_cast<ULONG>((std::wcslen(id) + 1) * sizeof(wchar_t));
    *type = DEVPROP_TYPE_STRING;
    const bool fits = buffer && *size >= needed;
    if (fits) {
        std::memcpy(buffer, id, needed);
    }
    *size = needed;
    return fits ? CR_SUCCESS : CR_BUFFER_SMALL;
}
