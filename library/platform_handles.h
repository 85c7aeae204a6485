// Owners for the platform handles that the library opens for itself.
#pragma once

#include "unique_resource.h"

#include <windows.h>
#include <setupapi.h>

// A device handle counts as open only when it is positive: the platform's failure value
// is -1, and 0 is never a device.
struct FileHandleTraits {
    using Value = HANDLE;
    static Value Empty() { return nullptr; }
    static bool IsValid(Value handle) { return reinterpret_cast<LONG_PTR>(handle) > 0; }
    static void Release(Value handle) { CloseHandle(handle); }
};
using UniqueFileHandle = UniqueResource<FileHandleTraits>;

// Any set other than null is destroyed: an invalid one is handed back to the platform
// exactly as it came.
struct DeviceInfoSetTraits {
    using Value = HDEVINFO;
    static Value Empty() { return nullptr; }
    static bool IsValid(Value set) { return set != nullptr; }
    static void Release(Value set) { SetupDiDestroyDeviceInfoList(set); }
};
using UniqueDeviceInfoSet = UniqueResource<DeviceInfoSetTraits>;
