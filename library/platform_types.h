// The platform's records and entry points that the library passes across its boundary
// to hid.dll, setupapi.dll and kernel32, with their sizes and layouts pinned down: a
// mismatch here is a corrupted call on a real machine, so it must fail to compile.
#pragma once

#include <windows.h>
#include <setupapi.h>
#include "record_sizes.h"

#include <cstddef>
#include <type_traits>

// hid.dll's records and functions as the toolchain declares them; the library never links
// hid.dll, it only calls the entries it looks up. mingw-w64's hidsdi.h and hidpi.h declare
// their functions without extern "C".
extern "C" {
#include <hidsdi.h>
}

// hid.dll's records hold no pointer: the same on both architectures.
static_assert(sizeof(HIDD_ATTRIBUTES) == 12, "HIDD_ATTRIBUTES is 12 bytes");
static_assert(offsetof(HIDD_ATTRIBUTES, Size) == 0, "HIDD_ATTRIBUTES layout");
static_assert(offsetof(HIDD_ATTRIBUTES, VendorID) == 4, "HIDD_ATTRIBUTES layout");
static_assert(offsetof(HIDD_ATTRIBUTES, ProductID) == 6, "HIDD_ATTRIBUTES layout");
static_assert(offsetof(HIDD_ATTRIBUTES, VersionNumber) == 8, "HIDD_ATTRIBUTES layout");

static_assert(sizeof(HIDP_CAPS) == 64, "HIDP_CAPS is 64 bytes");
static_assert(offsetof(HIDP_CAPS, InputReportByteLength) == 4, "HIDP_CAPS layout");
static_assert(offsetof(HIDP_CAPS, OutputReportByteLength) == 6, "HIDP_CAPS layout");
static_assert(offsetof(HIDP_CAPS, FeatureReportByteLength) == 8, "HIDP_CAPS layout");
static_assert(offsetof(HIDP_CAPS, NumberLinkCollectionNodes) == 44, "HIDP_CAPS layout");

// The types of the entry points, taken from the platform's own declarations. The HidD_
// functions answer with a one-byte BOOLEAN: only the low byte of the return register is
// defined, so it must never be read as a 32-bit BOOL.
using HidD_GetHidGuid_t = decltype(&::HidD_GetHidGuid);
using HidD_GetAttributes_t = decltype(&::HidD_GetAttributes);
using HidD_GetPreparsedData_t = decltype(&::HidD_GetPreparsedData);
using HidP_GetCaps_t = decltype(&::HidP_GetCaps);
using HidD_FreePreparsedData_t = decltype(&::HidD_FreePreparsedData);
using HidD_GetNumInputBuffers_t = decltype(&::HidD_GetNumInputBuffers);
// The three string queries share one type, and so do the four report requests.
using HidD_GetString_t = decltype(&::HidD_GetManufacturerString);
using HidD_GetIndexedString_t = decltype(&::HidD_GetIndexedString);
using HidD_Report_t = decltype(&::HidD_GetFeature);
static_assert(std::is_same<decltype(&::HidD_GetProductString), HidD_GetString_t>::value &&
                  std::is_same<decltype(&::HidD_GetSerialNumberString), HidD_GetString_t>::value,
              "the string queries share one type");
static_assert(std::is_same<decltype(&::HidD_SetFeature), HidD_Report_t>::value &&
                  std::is_same<decltype(&::HidD_GetInputReport), HidD_Report_t>::value &&
                  std::is_same<decltype(&::HidD_SetOutputReport), HidD_Report_t>::value,
              "the report requests share one type");

using SetupDiEnumDeviceInterfaces_t = decltype(&::SetupDiEnumDeviceInterfaces);
using SetupDiGetDeviceInterfaceDetailA_t = decltype(&::SetupDiGetDeviceInterfaceDetailA);

// setupapi's records and SECURITY_ATTRIBUTES, at their architecture's sizes (record_sizes.h).
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == kRecordSizes.deviceInterfaceData,
              "SP_DEVICE_INTERFACE_DATA size");
static_assert(offsetof(SP_DEVICE_INTERFACE_DATA, InterfaceClassGuid) == 4,
              "SP_DEVICE_INTERFACE_DATA layout");
static_assert(offsetof(SP_DEVICE_INTERFACE_DATA, Flags) == 20, "SP_DEVICE_INTERFACE_DATA layout");
static_assert(offsetof(SP_DEVICE_INTERFACE_DATA, Reserved) == 24,
              "SP_DEVICE_INTERFACE_DATA layout");
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == kRecordSizes.deviceInterfaceDetailDataA,
              "SP_DEVICE_INTERFACE_DETAIL_DATA_A size");
static_assert(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) == 4,
              "SP_DEVICE_INTERFACE_DETAIL_DATA_A layout");
static_assert(sizeof(SECURITY_ATTRIBUTES) == kRecordSizes.securityAttributes,
              "SECURITY_ATTRIBUTES size");

// kernel32's version records hold no pointer: the same on both architectures.
static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA is 148 bytes");
static_assert(sizeof(OSVERSIONINFOEXA) == 156, "OSVERSIONINFOEXA is 156 bytes");
static_assert(offsetof(OSVERSIONINFOEXA, wProductType) == 154, "OSVERSIONINFOEXA layout");
