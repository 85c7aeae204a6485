// The simulator's hid.dll and setupapi.dll, loaded from beside the test program and called
// by name as a program under test calls them.
#pragma once

#include "platform_records.h"

#include <string>

// Each function as the platform's headers declare it.
struct PlatformDoubles {
    decltype(&::HidD_GetHidGuid) HidD_GetHidGuid;
    decltype(&::HidD_GetAttributes) HidD_GetAttributes;
    decltype(&::HidD_GetPreparsedData) HidD_GetPreparsedData;
    decltype(&::HidP_GetCaps) HidP_GetCaps;
    decltype(&::HidD_FreePreparsedData) HidD_FreePreparsedData;
    decltype(&::HidD_GetNumInputBuffers) HidD_GetNumInputBuffers;
    decltype(&::HidD_GetManufacturerString) HidD_GetManufacturerString;
    decltype(&::HidD_GetProductString) HidD_GetProductString;
    decltype(&::HidD_GetSerialNumberString) HidD_GetSerialNumberString;
    decltype(&::HidD_GetIndexedString) HidD_GetIndexedString;
    decltype(&::HidD_GetFeature) HidD_GetFeature;
    decltype(&::HidD_SetFeature) HidD_SetFeature;
    decltype(&::HidD_GetInputReport) HidD_GetInputReport;
    decltype(&::HidD_SetOutputReport) HidD_SetOutputReport;
    decltype(&::SetupDiGetClassDevsA) SetupDiGetClassDevsA;
    decltype(&::SetupDiDestroyDeviceInfoList) SetupDiDestroyDeviceInfoList;
    decltype(&::SetupDiEnumDeviceInterfaces) SetupDiEnumDeviceInterfaces;
    decltype(&::SetupDiGetDeviceInterfaceDetailA) SetupDiGetDeviceInterfaceDetailA;
};

const PlatformDoubles& Doubles();

extern const GUID kHidClass;
constexpr DWORD kPresentInterfaces = DIGCF_PRESENT | DIGCF_DEVICEINTERFACE;
