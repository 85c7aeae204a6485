// Device string queries and their StringSlots: one library-owned string per string export,
// holding that export's latest result. Results are handed out as copies in the string
// heap's result area, valid until the caller's next call into the library.
#pragma once

#include <windows.h>

// Sets every StringSlot to the empty string, as they stand from load until first use.
void ResetStringSlots();

enum class DeviceString { Manufacturer, Product, SerialNumber };

// The device's string in the system's ANSI code page; the empty string when the handle is
// 0, the platform has no answer, or memory runs out. Never null.
const char* ReadDeviceString(DeviceString which, HANDLE device);
const char* ReadIndexedString(HANDLE device, ULONG stringIndex);
