// The library's binding to the platform: hid.dll and setupapi.dll, loaded at attach, and
// the HidEntryTable through which every run-time entry point is called. Nothing changes
// them between attach and detach, so any thread may read them at any time.
#pragma once

#include "platform_types.h"

// Entry points of hid.dll (1 to 14) and setupapi.dll (15, 16), in the order in which they
// are resolved. An entry whose module or function was missing at load is null and is
// never called through.
struct HidEntryTable {
    HidD_GetHidGuid_t HidD_GetHidGuid;
    HidD_GetAttributes_t HidD_GetAttributes;
    HidD_GetPreparsedData_t HidD_GetPreparsedData;
    HidP_GetCaps_t HidP_GetCaps;
    HidD_FreePreparsedData_t HidD_FreePreparsedData;
    HidD_GetNumInputBuffers_t HidD_GetNumInputBuffers;
    HidD_GetString_t HidD_GetManufacturerString;
    HidD_GetString_t HidD_GetProductString;
    HidD_GetString_t HidD_GetSerialNumberString;
    HidD_Report_t HidD_GetFeature;
    HidD_Report_t HidD_SetFeature;
    HidD_Report_t HidD_GetInputReport;
    HidD_Report_t HidD_SetOutputReport;
    HidD_GetIndexedString_t HidD_GetIndexedString;
    SetupDiEnumDeviceInterfaces_t SetupDiEnumDeviceInterfaces;
    SetupDiGetDeviceInterfaceDetailA_t SetupDiGetDeviceInterfaceDetailA;
};

// Loads both modules and fills the table. A module or entry point that is missing is not
// an error: the library still loads, and whatever needs the missing piece fails in its
// ordinary way.
void BindPlatform();
void ReleasePlatform();

const HidEntryTable& HidEntries();
