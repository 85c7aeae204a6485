// The platform records whose size differs between the architectures, and which setupapi.dll
// and kernel32 refuse at any size but their own: setupapi packs its records to 1 byte on
// x86 and to 8 on x64, and SECURITY_ATTRIBUTES holds a pointer. Every other record that
// crosses the boundary holds no pointer and has one layout on both.
#pragma once

#include <cstddef>

struct PlatformRecordSizes {
    std::size_t deviceInterfaceData;        // SP_DEVICE_INTERFACE_DATA
    std::size_t deviceInterfaceDetailDataA; // SP_DEVICE_INTERFACE_DETAIL_DATA_A
    std::size_t securityAttributes;         // SECURITY_ATTRIBUTES
};
constexpr PlatformRecordSizes kX86RecordSizes = {28, 5, 12};
constexpr PlatformRecordSizes kX64RecordSizes = {32, 8, 24};
constexpr PlatformRecordSizes kRecordSizes = sizeof(void*) == 8 ? kX64RecordSizes : kX86RecordSizes;
