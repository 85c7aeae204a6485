// The device set-up functions that find HID interfaces, answering from the world.
#include "call_rendering.h"
#include "platform_records.h"
#include "simulator_state.h"

namespace {

std::string DescribeSet(LockedState& state, HDEVINFO set) {
    return state->sets.Describe("set", set);
}

std::string DescribeText(PCSTR text) {
    return text ? "\"" + std::string(text) + "\"" : "null";
}

// The record names its member by index + 1, so that a zeroed record names none.
int MemberOf(const SP_DEVICE_INTERFACE_DATA* data) {
    return data ? static_cast<int>(data->Reserved) - 1 : -1;
}

BOOL Fail(LockedState& state, const std::string& call, DWORD error) {
    state->Record(call, "0", error);
    return FALSE;
}

} // namespace

extern "C" {

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* classGuid, PCSTR enumerator, HWND parent,
                                     DWORD flags) {
    LockedState state;
    const std::string call = "SetupDiGetClassDevsA(" + DescribeGuid(classGuid) + ", " +
                             DescribeText(enumerator) + ", " + DescribeUnknownHandle(parent) +
                             ", 0x" + Hex(flags) + ")";
    const ClassDevsAnswer answer = state->world.classDevs;
    if (answer == ClassDevsAnswer::Null) {
        state->Record(call, "null", ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // Without a class, the platform lists nothing unless asked for all classes.
    if (answer == ClassDevsAnswer::Invalid || (!classGuid && !(flags & DIGCF_ALLCLASSES))) {
        state->Record(call, "0xffffffff", ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // Every interface of the world is present, so DIGCF_PRESENT changes nothing.
    const bool hid =
        classGuid && IsEqualGUID(*classGuid, kHidInterfaceClass) && (flags & DIGCF_DEVICEINTERFACE);
    HDEVINFO set = state->sets.Add({hid});
    state->Record(call, DescribeSet(state, set));
    return set;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO set) {
    LockedState state;
    const std::string call = "SetupDiDestroyDeviceInfoList(" + DescribeSet(state, set) + ")";
    if (!state->sets.Remove(set)) {
        return Fail(state, call, ERROR_INVALID_HANDLE);
    }
    state->Record(call, "1");
    return TRUE;
}

BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA deviceInfo,
                                        const GUID* interfaceClass, DWORD memberIndex,
                                        PSP_DEVICE_INTERFACE_DATA data) {
    LockedState state;
    const std::string call = "SetupDiEnumDeviceInterfaces(" + DescribeSet(state, set) + ", " +
                             DescribePointer(deviceInfo) + ", " + DescribeGuid(interfaceClass) +
                             ", " + std::to_string(memberIndex) + ", " +
                             DescribeRecord(data, "cbSize", &SP_DEVICE_INTERFACE_DATA::cbSize) +
                             ")";
    const DeviceInfoSet* found = state->sets.Find(set);
    if (!found) {
        return Fail(state, call, ERROR_INVALID_HANDLE);
    }
    if (!data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        return Fail(state, call, ERROR_INVALID_USER_BUFFER);
    }
    const bool hid = found->listsHidInterfaces && interfaceClass &&
                     IsEqualGUID(*interfaceClass, kHidInterfaceClass);
    if (!hid || memberIndex >= state->world.interfaces.size()) {
        return Fail(state, call, ERROR_NO_MORE_ITEMS);
    }
    data->InterfaceClassGuid = kHidInterfaceClass;
    data->Flags = SPINT_ACTIVE;
    data->Reserved = memberIndex + 1;
    state->Record(call, "1");
    return TRUE;
}

BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                                             PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail,
                                             DWORD detailSize, PDWORD requiredSize,
                                             PSP_DEVINFO_DATA deviceInfo) {
    LockedState state;
    const int member = MemberOf(data);
    const std::string call =
        "SetupDiGetDeviceInterfaceDetailA(" + DescribeSet(state, set) + ", " +
        (data ? "if:" + std::to_string(member) : std::string("null")) + ", " +
        DescribeRecord(detail, "cbSize", &SP_DEVICE_INTERFACE_DETAIL_DATA_A::cbSize) + ", " +
        std::to_string(detailSize) + ", " + DescribePointer(requiredSize) + ", " +
        DescribePointer(deviceInfo) + ")";
    if (!state->sets.Find(set)) {
        return Fail(state, call, ERROR_INVALID_HANDLE);
    }
    const std::vector<SimulatedInterface>& interfaces = state->world.interfaces;
    if (!data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) || member < 0 ||
        static_cast<size_t>(member) >= interfaces.size() ||
        interfaces[static_cast<size_t>(member)].Fails("SetupDiGetDeviceInterfaceDetailA")) {
        return Fail(state, call, ERROR_INVALID_PARAMETER);
    }
    if ((!detail && detailSize != 0) ||
        (detail && detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A))) {
        return Fail(state, call, ERROR_INVALID_USER_BUFFER);
    }
    const std::string& path = state->files.PathOf(static_cast<size_t>(member));
    const DWORD required = static_cast<DWORD>(
        offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1);
    if (requiredSize) {
        *requiredSize = required;
    }
    if (detailSize < required) {
        return Fail(state, call, ERROR_INSUFFICIENT_BUFFER);
    }
    path.copy(detail->DevicePath, path.size());
    detail->DevicePath[path.size()] = '\0';
    state->Record(call, "1");
    return TRUE;
}

} // extern "C"
