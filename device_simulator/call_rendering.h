// How arguments and results appear in journal lines.
#pragma once

#include <windows.h>

#include <string>

// Lower-case hex, zero-padded to `digits`.
std::string Hex(unsigned long long value, int digits = 0);
// An out-pointer or a buffer: "ptr", or "null".
std::string DescribePointer(const void* pointer);
// {4D1E55B2-F16F-11CF-88CB-001111000030}, or "null".
std::string DescribeGuid(const GUID* guid);
// Bytes passed in: [00 42 ff], or "null".
std::string DescribeBytes(const void* buffer, ULONG length);
// A record by its size field, "cbSize=28", or "null".
template <typename Record, typename Size>
std::string DescribeRecord(const Record* record, const char* field, Size Record::*size) {
    return record ? std::string(field) + "=" + std::to_string(record->*size) : "null";
}
