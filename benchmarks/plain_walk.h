// hid.dll and setupapi.dll reached without the library, and the device test written out
// plainly on them: what the library's walk is timed against.
#pragma once

#include <windows.h>
#include <setupapi.h>
#include <hidsdi.h>

using GetHidGuid_t = void(WINAPI*)(GUID*);
using GetClassDevs_t = HDEVINFO(WINAPI*)(const GUID*, PCSTR, HWND, DWORD);
using EnumInterfaces_t = BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD,
                                       PSP_DEVICE_INTERFACE_DATA);
using InterfaceDetail_t = BOOL(WINAPI*)(HDEVINFO, PSP_DEVICE_INTERFACE_DATA,
                                        PSP_DEVICE_INTERFACE_DETAIL_DATA_A, DWORD, PDWORD,
                                        PSP_DEVINFO_DATA);
using GetAttributes_t = BOOLEAN(WINAPI*)(HANDLE, PHIDD_ATTRIBUTES);
using DestroyList_t = BOOL(WINAPI*)(HDEVINFO);

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
