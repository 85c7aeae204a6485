// The exports of Velmar.dll that devcmd binds at run time, looked up by name.
#pragma once

#include "velmar.h"

struct VelmarEntries {
    decltype(&::HID_DeviceTest) HID_DeviceTest;
    decltype(&::HID_OpenDevice) HID_OpenDevice;
    decltype(&::HID_ReadDevice) HID_ReadDevice;
    decltype(&::HID_WriteDevice) HID_WriteDevice;
    decltype(&::HID_CloseDevice) HID_CloseDevice;
};

// Looks up all five exports, in this order. True when the three that devcmd calls (test,
// open, write) are there; a library without them counts as no library at all.
bool LookUpVelmarEntries(HMODULE library, VelmarEntries& entries);
