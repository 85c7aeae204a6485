// The device set-up functions that find HID interfaces, answering from the world.
#include "platform_records.h"
#include "simulator_state.h"

#include <cstdio>

namespace {

// Set handles are opaque to callers; these values are never dereferenced.
constexpr ULONG_PTR kFirstSetValue = 0x5E700000;

std::string DescribeGuid(const GUID* guid) {
    if (!guid) {
        return "null";
    }
    char text[40];
    std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  guid->Data1, guid->Data2, guid->Data3, guid->Data4[0], guid->Data4[1],
                  guid->Data4[2], guid->Data4[3], guid->Data4[4], guid->Data4[5], guid->Data4[6],
                  guid->Data4[7]);
    return text;
}

std::string DescribeSet(LockedState& state, HDEVINFO set) {
    const auto found = state->sets.find(set);
    if (found != state->sets.end()) {
        return "set:" + std::to_string(found->second.number);
    }
    return set ? "0x" + Hex(reinterpret_cast<ULONG_PTR>(set)) : "null";
}

std::string DescribePointer(const void* pointer) {
    return pointer ? "ptr" : "null";
}

// The member index that an interface record names, or -1.
int MemberOf(const SP_DEVICE_INTERFACE_DATA* data) {
    return data ? static_cast<int>(data->Reserved) - 1 : -1;
}

} // namespace

extern "C" {

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* classGuid, PCSTR enumerator, HWND parent,
                                     DWORD flags) {
    LockedState state;
    const std::string call = "SetupDiGetClassDevsA(" + DescribeGuid(classGuid) + ", " +
                             (enumerator ? "\"" + std::string(enumerator) + "\"" : "null") + ", " +
                             (parent ? "0x" + Hex(reinterpret_cast<ULONG_PTR>(parent)) : "null") +
                             ", 0x" + Hex(flags) + ")";
    switch (state->world.classDevs) {
    case ClassDevsAnswer::Null:
        state->Record(call, "null", ERROR_INVALID_PARAMETER);
        return nullptr;
    case ClassDevsAnswer::Invalid:
        state->Record(call, "0xffffffff", ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    case ClassDevsAnswer::Set:
        break;
    }
    const int number = ++state->setsCreated;
    auto set = reinterpret_cast<HDEVINFO>(kFirstSetValue + 4 * static_cast<ULONG_PTR>(number));
    const bool hid =
        classGuid && IsEqualGUID(*classGuid, kHidInterfaceClass) && (flags & DIGCF_DEVICEINTERFACE);
    state->sets[set] = {number, hid};
    state->Record(call, "set:" + std::to_string(number));
    return set;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO set) {
    LockedState state;
    const std::string call = "SetupDiDestroyDeviceInfoList(" + DescribeSet(state, set) + ")";
    if (state->sets.erase(set) == 0) {
        state->Record(call, "0", ERROR_INVALID_HANDLE);
        return FALSE;
    }
    state->Record(call, "1");
    return TRUE;
}

BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA deviceInfo,
                                        const GUID* interfaceClass, DWORD memberIndex,
                                        PSP_DEVICE_INTERFACE_DATA data) {
    LockedState state;
    const std::string call =
        "SetupDiEnumDeviceInterfaces(" + DescribeSet(state, set) + ", " +
        DescribePointer(deviceInfo) + ", " + DescribeGuid(interfaceClass) + ", " +
        std::to_string(memberIndex) + ", " +
        (data ? "cbSize=" + std::to_string(data->cbSize) : std::string("null")) + ")";
    const auto found = state->sets.find(set);
    if (found == state->sets.end()) {
        state->Record(call, "0", ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        state->Record(call, "0", ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    const bool hid = found->second.listsHidInterfaces && interfaceClass &&
                     IsEqualGUID(*interfaceClass, kHidInterfaceClass);
    if (!hid || memberIndex >= state->world.interfaces.size()) {
        state->Record(call, "0", ERROR_NO_MORE_ITEMS);
        return FALSE;
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
        (detail ? "cbSize=" + std::to_string(detail->cbSize) : std::string("null")) + ", " +
        std::to_string(detailSize) + ", " + DescribePointer(requiredSize) + ", " +
        DescribePointer(deviceInfo) + ")";
    if (state->sets.find(set) == state->sets.end()) {
        state->Record(call, "0", ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (member < 0 || static_cast<size_t>(member) >= state->world.interfaces.size() ||
        state->world.interfaces[static_cast<size_t>(member)].Fails(
            "SetupDiGetDeviceInterfaceDetailA")) {
        state->Record(call, "0", ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if ((!detail && detailSize != 0) ||
        (detail && detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A))) {
        state->Record(call, "0", ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    const std::string& path = state->files.PathOf(static_cast<size_t>(member));
    const DWORD required = static_cast<DWORD>(
        offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1);
    if (requiredSize) {
        *requiredSize = required;
    }
    if (detailSize < required) {
        state->Record(call, "0", ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    path.copy(detail->DevicePath, path.size());
    detail->DevicePath[path.size()] = '\0';
    state->Record(call, "1");
    return TRUE;
}

} // extern "C"
