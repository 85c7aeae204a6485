#include "call_rendering.h"

#include <cstdio>

// Wide enough for a 64-bit handle: long is 32 bits on both Windows architectures.
std::string Hex(unsigned long long value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "%0*llx", digits, value);
    return text;
}

std::string DescribePointer(const void* pointer) {
    return pointer ? "ptr" : "null";
}

std::string DescribeGuid(const GUID* guid) {
    if (!guid) {
        return "null";
    }
    char text[40];
    std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  guid->Data1, guid->Data2, guid->Data3, guid->Data4[0], guid->Data4[1],
                  guid->Data4[2], guid->Data4[3], guid->Data4[4], guid->Data4[5], guid->Data4[6],
                  guid->Data4[7]);
    return text;
}

std::string DescribeBytes(const void* buffer, ULONG length) {
    if (!buffer) {
        return "null";
    }
    std::string text = "[";
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    for (ULONG i = 0; i < length; ++i) {
        text += (i ? " " : "") + Hex(bytes[i], 2);
    }
    return text + "]";
}
