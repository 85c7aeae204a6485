// The simulator's hid.dll and setupapi.dll, loaded from beside the test program and called
// by name as a program under test calls them.
#pragma once

#define _SETUPAPI_
#include <windows.h>
#include <setupapi.h>

#include <string>

struct HidAttributes {
    ULONG Size;
    USHORT VendorID;
    USHORT ProductID;
    USHORT VersionNumber;
};

using StringQuery = BOOLEAN(WINAPI*)(HANDLE, PVOID, ULONG);
using ReportCall = BOOLEAN(WINAPI*)(HANDLE, PVOID, ULONG);

struct PlatformDoubles {
    void(WINAPI* HidD_GetHidGuid)(GUID*);
    BOOLEAN(WINAPI* HidD_GetAttributes)(HANDLE, HidAttributes*);
    BOOLEAN(WINAPI* HidD_GetPreparsedData)(HANDLE, void**);
    LONG(WINAPI* HidP_GetCaps)(void*, USHORT caps[32]);
    BOOLEAN(WINAPI* HidD_FreePreparsedData)(void*);
    BOOLEAN(WINAPI* HidD_GetNumInputBuffers)(HANDLE, PULONG);
    StringQuery HidD_GetManufacturerString;
    StringQuery HidD_GetProductString;
    StringQuery HidD_GetSerialNumberString;
    BOOLEAN(WINAPI* HidD_GetIndexedString)(HANDLE, ULONG, PVOID, ULONG);
    ReportCall HidD_GetFeature;
    ReportCall HidD_SetFeature;
    ReportCall HidD_GetInputReport;
    ReportCall HidD_SetOutputReport;
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
constexpr DWORD kPresentInterfaces = DIGCF_PRESENT | DIGCF_DEVICEINTERFACE;
