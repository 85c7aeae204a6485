// The simulator's hid.dll and setupapi.dll, loaded from beside the test program and called
// by name as a program under test would.
#pragma once

#define _SETUPAPI_
#include <windows.h>
#include <setupapi.h>

struct HidAttributes {
    ULONG Size;
    USHORT VendorID;
    USHORT ProductID;
    USHORT VersionNumber;
};

struct PlatformDoubles {
    void(WINAPI* HidD_GetHidGuid)(GUID*);
    BOOLEAN(WINAPI* HidD_GetAttributes)(HANDLE, HidAttributes*);
    BOOLEAN(WINAPI* HidD_GetPreparsedData)(HANDLE, void**);
    LONG(WINAPI* HidP_GetCaps)(void*, void*);
    BOOLEAN(WINAPI* HidD_FreePreparsedData)(void*);
    BOOLEAN(WINAPI* HidD_GetManufacturerString)(HANDLE, PVOID, ULONG);
    BOOLEAN(WINAPI* HidD_GetIndexedString)(HANDLE, ULONG, PVOID, ULONG);
    BOOLEAN(WINAPI* HidD_SetFeature)(HANDLE, PVOID, ULONG);
    BOOLEAN(WINAPI* HidD_GetFeature)(HANDLE, PVOID, ULONG);
    HDEVINFO(WINAPI* SetupDiGetClassDevsA)(const GUID*, PCSTR, HWND, DWORD);
    BOOL(WINAPI* SetupDiDestroyDeviceInfoList)(HDEVINFO);
    BOOL(WINAPI* SetupDiEnumDeviceInterfaces)
    (HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD, PSP_DEVICE_INTERFACE_DATA);
    BOOL(WINAPI* SetupDiGetDeviceInterfaceDetailA)
    (HDEVINFO, PSP_DEVICE_INTERFACE_DATA, PSP_DEVICE_INTERFACE_DETAIL_DATA_A, DWORD, PDWORD,
     PSP_DEVINFO_DATA);
};

const PlatformDoubles& Doubles();

extern const GUID kHidClass;
