// The platform's records, as the simulated functions receive them. setupapi.h is taken
// without its import declarations, since this library defines those functions itself.
#pragma once

#define _SETUPAPI_
#include <windows.h>
#include <setupapi.h>

#include <cstddef>

struct HIDD_ATTRIBUTES {
    ULONG Size;
    USHORT VendorID;
    USHORT ProductID;
    USHORT VersionNumber;
};
static_assert(sizeof(HIDD_ATTRIBUTES) == 12, "HIDD_ATTRIBUTES is 12 bytes");
static_assert(offsetof(HIDD_ATTRIBUTES, VersionNumber) == 8, "HIDD_ATTRIBUTES layout");

struct HIDP_CAPS {
    USHORT Usage;
    USHORT UsagePage;
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
static_assert(sizeof(HIDP_CAPS) == 64, "HIDP_CAPS is 64 bytes");
static_assert(offsetof(HIDP_CAPS, FeatureReportByteLength) == 8, "HIDP_CAPS layout");

using PHIDP_PREPARSED_DATA = void*;

constexpr LONG HIDP_STATUS_SUCCESS = 0x00110000;
constexpr LONG HIDP_STATUS_INVALID_PREPARSED_DATA = static_cast<LONG>(0xC0110001);

static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 28, "SP_DEVICE_INTERFACE_DATA is 28 bytes");
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 5,
              "SP_DEVICE_INTERFACE_DETAIL_DATA_A is 5 bytes");

// The HID interface class, {4D1E55B2-F16F-11CF-88CB-001111000030}.
constexpr GUID kHidInterfaceClass = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
