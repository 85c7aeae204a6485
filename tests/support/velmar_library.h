// Velmar.dll as its callers see it: loaded by name from beside the test program, every
// export looked up by name and called through its address.
#pragma once

#include "velmar.h"

#define VELMAR_EXPORT_ENTRY(name) decltype(&::name) name

struct VelmarLibrary {
    HMODULE module;
    VELMAR_EXPORT_ENTRY(HID_CloseDevice);
    VELMAR_EXPORT_ENTRY(HID_DeviceInfo);
    VELMAR_EXPORT_ENTRY(HID_DeviceTest);
    VELMAR_EXPORT_ENTRY(HID_GetCaps);
    VELMAR_EXPORT_ENTRY(HID_GetFeature);
    VELMAR_EXPORT_ENTRY(HID_GetIndexedString);
    VELMAR_EXPORT_ENTRY(HID_GetInputReport);
    VELMAR_EXPORT_ENTRY(HID_GetManufacturerString);
    VELMAR_EXPORT_ENTRY(HID_GetNumInputBuffers);
    VELMAR_EXPORT_ENTRY(HID_GetProductString);
    VELMAR_EXPORT_ENTRY(HID_GetSerialNumberString);
    VELMAR_EXPORT_ENTRY(HID_OpenDevice);
    VELMAR_EXPORT_ENTRY(HID_ReadDevice);
    VELMAR_EXPORT_ENTRY(HID_SetFeature);
    VELMAR_EXPORT_ENTRY(HID_SetOutputReport);
    VELMAR_EXPORT_ENTRY(HID_WriteDevice);
};

#undef VELMAR_EXPORT_ENTRY

// Loads the library on first use; a failed load or a missing export fails the test
// program at once.
const VelmarLibrary& Velmar();
