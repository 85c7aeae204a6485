// The platform's records and functions from the toolchain's own headers, with the records'
// layouts pinned down: a program built against the platform's headers hands the simulated
// functions these records. setupapi.h is taken without its import declarations, since
// this library defines those functions itself.
#pragma once

#define _SETUPAPI_
#include <windows.h>
#include <setupapi.h>
// mingw-w64's hidsdi.h and hidpi.h declare their functions without extern "C".
extern "C" {
#include <hidsdi.h>
}

#include "record_sizes.h"

#include <cstddef>

static_assert(sizeof(HIDD_ATTRIBUTES) == 12, "HIDD_ATTRIBUTES is 12 bytes");
static_assert(offsetof(HIDD_ATTRIBUTES, Size) == 0, "HIDD_ATTRIBUTES layout");
static_assert(offsetof(HIDD_ATTRIBUTES, VendorID) == 4, "HIDD_ATTRIBUTES layout");
static_assert(offsetof(HIDD_ATTRIBUTES, ProductID) == 6, "HIDD_ATTRIBUTES layout");
static_assert(offsetof(HIDD_ATTRIBUTES, VersionNumber) == 8, "HIDD_ATTRIBUTES layout");

static_assert(sizeof(HIDP_CAPS) == 64, "HIDP_CAPS is 64 bytes");
static_assert(offsetof(HIDP_CAPS, Usage) == 0, "HIDP_CAPS layout");
static_assert(offsetof(HIDP_CAPS, UsagePage) == 2, "HIDP_CAPS layout");
static_assert(offsetof(HIDP_CAPS, InputReportByteLength) == 4, "HIDP_CAPS layout");
static_assert(offsetof(HIDP_CAPS, OutputReportByteLength) == 6, "HIDP_CAPS layout");
static_assert(offsetof(HIDP_CAPS, FeatureReportByteLength) == 8, "HIDP_CAPS layout");
static_assert(offsetof(HIDP_CAPS, Reserved) == 10, "HIDP_CAPS layout");
static_assert(offsetof(HIDP_CAPS, NumberLinkCollectionNodes) == 44, "HIDP_CAPS layout");
static_assert(offsetof(HIDP_CAPS, NumberInputButtonCaps) == 46, "HIDP_CAPS layout");
static_assert(offsetof(HIDP_CAPS, NumberInputValueCaps) == 48, "HIDP_CAPS layout");
static_assert(offsetof(HIDP_CAPS, NumberInputDataIndices) == 50, "HIDP_CAPS layout");
static_assert(offsetof(HIDP_CAPS, NumberOutputButtonCaps) == 52, "HIDP_CAPS layout");
static_assert(offsetof(HIDP_CAPS, NumberOutputValueCaps) == 54, "HIDP_CAPS layout");
static_assert(offsetof(HIDP_CAPS, NumberOutputDataIndices) == 56, "HIDP_CAPS layout");
static_assert(offsetof(HIDP_CAPS, NumberFeatureButtonCaps) == 58, "HIDP_CAPS layout");
static_assert(offsetof(HIDP_CAPS, NumberFeatureValueCaps) == 60, "HIDP_CAPS layout");
static_assert(offsetof(HIDP_CAPS, NumberFeatureDataIndices) == 62, "HIDP_CAPS layout");

static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == kRecordSizes.deviceInterfaceData,
              "SP_DEVICE_INTERFACE_DATA size");
static_assert(offsetof(SP_DEVICE_INTERFACE_DATA, cbSize) == 0, "SP_DEVICE_INTERFACE_DATA layout");
static_assert(offsetof(SP_DEVICE_INTERFACE_DATA, InterfaceClassGuid) == 4,
              "SP_DEVICE_INTERFACE_DATA layout");
static_assert(offsetof(SP_DEVICE_INTERFACE_DATA, Flags) == 20, "SP_DEVICE_INTERFACE_DATA layout");
static_assert(offsetof(SP_DEVICE_INTERFACE_DATA, Reserved) == 24,
              "SP_DEVICE_INTERFACE_DATA layout");
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == kRecordSizes.deviceInterfaceDetailDataA,
              "SP_DEVICE_INTERFACE_DETAIL_DATA_A size");
static_assert(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, cbSize) == 0,
              "SP_DEVICE_INTERFACE_DETAIL_DATA_A layout");
static_assert(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) == 4,
              "SP_DEVICE_INTERFACE_DETAIL_DATA_A layout");

// The HID interface class, {4D1E55B2-F16F-11CF-88CB-001111000030}.
constexpr GUID kHidInterfaceClass = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
