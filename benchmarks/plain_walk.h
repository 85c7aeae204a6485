// hid.dll and setupapi.dll reached without the library, and the device test written out
// plainly on them: what the library's walk is timed against.
#pragma once

#include <windows.h>
#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}

using GetHidGuid_t = decltype(&::HidD_GetHidGuid);
using GetClassDevs_t = decltype(&::SetupDiGetClassDevsA);
using EnumInterfaces_t = decltype(&::SetupDiEnumDeviceInterfaces);
using InterfaceDetail_t = decltype(&::SetupDiGetDeviceInterfaceDetailA);
using GetAttributes_t = decltype(&::HidD_GetAttributes);
using DestroyList_t = decltype(&::SetupDiDestroyDeviceInfoList);

// hid.dll and setupapi.dll as a caller without the library reaches them: loaded from the
// program's own folder and looked up by name.
struct RawPlatform {
    GetHidGuid_t getHidGuid;
    GetClassDevs_t getClassDevs;
    EnumInterfaces_t enumInterfaces;
    InterfaceDetail_t interfaceDetail;
    GetAttributes_t getAttributes;
    DestroyList_t destroyList;
};

// Exits the program when the platform beside it lacks a function.
RawPlatform LoadRawPlatform();
bool RawDeviceTest(const RawPlatform& platform, USHORT productId, USHORT vendorId);
