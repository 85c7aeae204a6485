// The platform's records and entry points that the library passes across its boundary
// to hid.dll, setupapi.dll and kernel32, with their sizes and layouts pinned down: a
// mismatch here is a corrupted call on a real machine, so it must fail to compile.
#pragma once

#include <windows.h>
#include <setupapi.h>
#include <cstddef>

// hid.dll's records. The HID headers belong to the driver kit rather than the SDK, so the
// two records the library touches are declared here with the platform's field names.
struct HIDD_ATTRIBUTES {
    ULONG Size;
    USHORT VendorID;
    USHORT ProductID;
    USHORT VersionNumber;
};
static_assert(sizeof(HIDD_ATTRIBUTES) == 12, "HIDD_ATTRIBUTES is 12 bytes");
static_assert(offsetof(HIDD_ATTRIBUTES, VendorID) == 4, "HIDD_ATTRIBUTES layout");
static_assert(offsetof(HIDD_ATTRIBUTES, ProductID) == 6, "HIDD_ATTRIBUTES layout");
static_assert(offsetof(HIDD_ATTRIBUTES, VersionNumber) == 8, "HIDD_ATTRIBUTES layout");

using USAGE = USHORT;

struct _HIDP_CAPS {
    USAGE Usage;
    USAGE UsagePage;
    USHORT InputReportByteLength;
    USHORT OutputReportByteLength;
    USHORT FeatureReportByteLength;
    USHORT Reserved[17];
    USHORT NumberLinkCollectionNodes;
    USHORT NumberInputButtonCaps;
    USHORT NumberInputValueCaps;
    USHORT NumberInputDataIndices;
    USHORT NumberOutputButtonCaps;
    USHORT NumberOutputValueCaps;
    USHORT NumberOutputDataIndices;
    USHORT NumberFeatureButtonCaps;
    USHORT NumberFeatureValueCaps;
    USHORT NumberFeatureDataIndices;
};
using HIDP_CAPS = _HIDP_CAPS;
static_assert(sizeof(HIDP_CAPS) == 64, "HIDP_CAPS is 64 bytes");
static_assert(offsetof(HIDP_CAPS, InputReportByteLength) == 4, "HIDP_CAPS layout");
static_assert(offsetof(HIDP_CAPS, OutputReportByteLength) == 6, "HIDP_CAPS layout");
static_assert(offsetof(HIDP_CAPS, FeatureReportByteLength) == 8, "HIDP_CAPS layout");
static_assert(offsetof(HIDP_CAPS, NumberLinkCollectionNodes) == 44, "HIDP_CAPS layout");

// Opaque per-device block that hid.dll hands out and takes back.
struct HIDP_PREPARSED_DATA;
using PHIDP_PREPARSED_DATA = HIDP_PREPARSED_DATA*;

// The HidD_ functions answer with a one-byte BOOLEAN: only the low byte of the return
// register is defined, so it must never be read as a 32-bit BOOL.
using HidD_GetHidGuid_t = void(WINAPI*)(GUID* HidGuid);
using HidD_GetAttributes_t = BOOLEAN(WINAPI*)(HANDLE HidDeviceObject, HIDD_ATTRIBUTES* Attributes);
using HidD_GetPreparsedData_t = BOOLEAN(WINAPI*)(HANDLE HidDeviceObject,
                                                 PHIDP_PREPARSED_DATA* PreparsedData);
using HidP_GetCaps_t = LONG(WINAPI*)(PHIDP_PREPARSED_DATA PreparsedData, HIDP_CAPS* Capabilities);
using HidD_FreePreparsedData_t = BOOLEAN(WINAPI*)(PHIDP_PREPARSED_DATA PreparsedData);
using HidD_GetNumInputBuffers_t = BOOLEAN(WINAPI*)(HANDLE HidDeviceObject, ULONG* NumberBuffers);
using HidD_GetString_t = BOOLEAN(WINAPI*)(HANDLE HidDeviceObject, PVOID Buffer, ULONG BufferLength);
using HidD_GetIndexedString_t = BOOLEAN(WINAPI*)(HANDLE HidDeviceObject, ULONG StringIndex,
                                                 PVOID Buffer, ULONG BufferLength);
using HidD_Report_t = BOOLEAN(WINAPI*)(HANDLE HidDeviceObject, PVOID ReportBuffer,
                                       ULONG ReportBufferLength);

using SetupDiEnumDeviceInterfaces_t = BOOL(WINAPI*)(HDEVINFO DeviceInfoSet,
                                                    SP_DEVINFO_DATA* DeviceInfoData,
                                                    const GUID* InterfaceClassGuid,
                                                    DWORD MemberIndex,
                                                    SP_DEVICE_INTERFACE_DATA* DeviceInterfaceData);
using SetupDiGetDeviceInterfaceDetailA_t = BOOL(WINAPI*)(
    HDEVINFO DeviceInfoSet, SP_DEVICE_INTERFACE_DATA* DeviceInterfaceData,
    SP_DEVICE_INTERFACE_DETAIL_DATA_A* DeviceInterfaceDetailData,
    DWORD DeviceInterfaceDetailDataSize, DWORD* RequiredSize, SP_DEVINFO_DATA* DeviceInfoData);

// setupapi.dll's records on 32-bit Windows are byte-packed.
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 28, "SP_DEVICE_INTERFACE_DATA is 28 bytes");
static_assert(offsetof(SP_DEVICE_INTERFACE_DATA, InterfaceClassGuid) == 4,
              "SP_DEVICE_INTERFACE_DATA layout");
static_assert(offsetof(SP_DEVICE_INTERFACE_DATA, Flags) == 20, "SP_DEVICE_INTERFACE_DATA layout");
static_assert(offsetof(SP_DEVICE_INTERFACE_DATA, Reserved) == 24,
              "SP_DEVICE_INTERFACE_DATA layout");
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 5,
              "SP_DEVICE_INTERFACE_DETAIL_DATA_A is 5 bytes");
static_assert(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) == 4,
              "SP_DEVICE_INTERFACE_DETAIL_DATA_A layout");

// kernel32's records.
static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA is 148 bytes");
static_assert(sizeof(OSVERSIONINFOEXA) == 156, "OSVERSIONINFOEXA is 156 bytes");
static_assert(offsetof(OSVERSIONINFOEXA, wProductType) == 154, "OSVERSIONINFOEXA layout");
static_assert(sizeof(SECURITY_ATTRIBUTES) == 12, "SECURITY_ATTRIBUTES is 12 bytes");
