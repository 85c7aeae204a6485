#include "device_table.h"

#include "interface_walk.h"
#include "library_heaps.h"

#include <cstddef>

static_assert(sizeof(HidDeviceEntry) == 26, "HidDeviceEntry is 26 bytes");
static_assert(offsetof(HidDeviceEntry, NumInputBuffers) == 6, "HidDeviceEntry layout");
static_assert(offsetof(HidDeviceEntry, FeatureReportByteLength) == 12, "HidDeviceEntry layout");
static_assert(offsetof(HidDeviceEntry, Manufacturer) == 14, "HidDeviceEntry layout");
static_assert(offsetof(HidDeviceEntry, Product) == 18, "HidDeviceEntry layout");
static_assert(offsetof(HidDeviceEntry, SerialNumber) == 22, "HidDeviceEntry layout");
static_assert(sizeof(HidDeviceTable) == 6658, "HidDeviceTable is 6658 bytes");
static_assert(offsetof(HidDeviceTable, Entries) == 2, "HidDeviceTable layout");

namespace {

// What a string field holds when the string heap could give it no block: never handed to
// the heap, so a later fill replaces it with a block of its own.
char kNoText[] = "";

// Copies a string export's result into a table field's block before the next call into
// the library replaces it, and returns what the field is to hold: its block resized to fit,
// or a new block when it had none.
char* StoredField(char* field, const char* text) {
    char* const current = field == kNoText ? nullptr : field;
    if (char* stored = StoreString(current, text)) {
        return stored;
    }
    if (current) {
        current[0] = '\0'; // the heap cannot resize it; it must not keep another device's text
        return current;
    }
    return kNoText;
}

void FillEntry(HidDeviceEntry& entry, const InterfaceWalk& walk) {
    HANDLE device = walk.Device();
    // The walk gives zeros for an interface whose attributes cannot be read.
    const HIDD_ATTRIBUTES& attributes = walk.Attributes();
    entry.VendorID = attributes.VendorID;
    entry.ProductID = attributes.ProductID;
    entry.VersionNumber = attributes.VersionNumber;
    entry.Manufacturer = StoredField(entry.Manufacturer, HID_GetManufacturerString(device));
    entry.Product = StoredField(entry.Product, HID_GetProductString(device));
    entry.SerialNumber = StoredField(entry.SerialNumber, HID_GetSerialNumberString(device));
    entry.NumInputBuffers = static_cast<USHORT>(HID_GetNumInputBuffers(device));
    // Reset for each interface, so that a failed query gives zeros, never the lengths of
    // the interface before.
    HIDP_CAPS caps = {};
    HID_GetCaps(device, &caps);
    entry.InputReportByteLength = caps.InputReportByteLength;
    entry.OutputReportByteLength = caps.OutputReportByteLength;
    entry.FeatureReportByteLength = caps.FeatureReportByteLength;
}

} // namespace

BOOL FillDeviceTable(HidDeviceTable& table) {
    table.Count = 0;
    DWORD interfacesSeen = 0;
    InterfaceWalk walk(kQueryOpen);
    while (walk.Next()) {
        interfacesSeen = walk.MemberIndex() + 1;
        if (!walk.DeviceOpened()) {
            continue;
        }
        table.Count = static_cast<USHORT>(interfacesSeen);
        FillEntry(table.Entries[walk.MemberIndex()], walk);
        walk.CloseDevice();
    }
    return interfacesSeen >= 1;
}
