// Velmar.dll as a caller sees it: loaded by name from beside the program, every export
// looked up by its undecorated name and called through its address.
#pragma once

#include "velmar.h"

#define VELMAR_EXPORT(name) decltype(&::name) name

struct VelmarExports {
    VELMAR_EXPORT(HID_CloseDevice);
    VELMAR_EXPORT(HID_DeviceInfo);
    VELMAR_EXPORT(HID_DeviceTest);
    VELMAR_EXPORT(HID_GetCaps);
    VELMAR_EXPORT(HID_GetFeature);
    VELMAR_EXPORT(HID_GetIndexedString);
    VELMAR_EXPORT(HID_GetInputReport);
    VELMAR_EXPORT(HID_GetManufacturerString);
    VELMAR_EXPORT(HID_GetNumInputBuffers);
    VELMAR_EXPORT(HID_GetProductString);
    VELMAR_EXPORT(HID_GetSerialNumberString);
    VELMAR_EXPORT(HID_OpenDevice);
    VELMAR_EXPORT(HID_ReadDevice);
    VELMAR_EXPORT(HID_SetFeature);
    VELMAR_EXPORT(HID_SetOutputReport);
    VELMAR_EXPORT(HID_WriteDevice);
};

#undef VELMAR_EXPORT

// Loads the library on first use; a failed load or a missing export ends the program.
const VelmarExports& Velmar();
