#include "device_table.h"

#include "device_queries.h"
#include "device_strings.h"
#include "interface_walk.h"
#include "library_heaps.h"

#include <cstddef>

// Packed: seven counts, then the three string pointers, 4 bytes each on x86, 8 on x64.
static_assert(sizeof(HidDeviceEntry) == 14 + 3 * sizeof(char*), "HidDeviceEntry is 26 or 38 bytes");
static_assert(offsetof(HidDeviceEntry, NumInputBuffers) == 6, "HidDeviceEntry layout");
static_assert(offsetof(HidDeviceEntry, FeatureReportByteLength) == 12, "HidDeviceEntry layout");
static_assert(offsetof(HidDeviceEntry, Manufacturer) == 14, "HidDeviceEntry layout");
static_assert(offsetof(HidDeviceEntry, Product) == 14 + sizeof(char*), "HidDeviceEntry layout");
static_assert(offsetof(HidDeviceEntry, SerialNumber) == 14 + 2 * sizeof(char*),
              "HidDeviceEntry layout");
static_assert(sizeof(HidDeviceTable) == 2 + 256 * sizeof(HidDeviceEntry),
              "HidDeviceTable is 6658 or 9730 bytes");
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
    // Values of a failed query are never copied: it may have written part of its record.
    HIDD_ATTRIBUTES attributes = {};
    if (walk.AttributesKnown()) {
        attributes = walk.Attributes();
    }
    entry.VendorID = attributes.VendorID;
    entry.ProductID = attributes.ProductID;
    entry.VersionNumber = attributes.VersionNumber;
    // The string queries fill the string exports' slots as the exports do.
    entry.Manufacturer =
        StoredField(entry.Manufacturer, ReadDeviceString(DeviceString::Manufacturer, device));
    entry.Product = StoredField(entry.Product, ReadDeviceString(DeviceString::Product, device));
    entry.SerialNumber =
        StoredField(entry.SerialNumber, ReadDeviceString(DeviceString::SerialNumber, device));
    entry.NumInputBuffers = static_cast<USHORT>(QueryNumInputBuffers(device));
    // Zeros unless the capabilities were read: never the lengths of the interface before,
    // nor what a refused query left behind.
    HIDP_CAPS caps;
    if (QueryCaps(device, caps) != CapsQuery::CapsRead) {
        caps = {};
    }
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
