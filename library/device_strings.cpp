#include "device_strings.h"

#include "library_heaps.h"
#include "platform_binding.h"

namespace {

enum StringSlotId { kManufacturerSlot, kProductSlot, kSerialNumberSlot, kIndexedSlot, kSlotCount };

char* stringSlots[kSlotCount];

// Returned when even the result area cannot hold the empty string.
const char kEmptyText[] = "";

// The platform is told of 252 bytes; the three zero bytes behind them end the UTF-16 text
// whatever the platform wrote.
constexpr int kQueryBufferSize = 255;
constexpr ULONG kQueryLength = 252;

void SetSlot(StringSlotId slot, const char* text) {
    if (char* stored = StoreString(stringSlots[slot], text)) {
        stringSlots[slot] = stored;
    } else if (stringSlots[slot]) {
        // The old block stays; it must not keep the old text.
        stringSlots[slot][0] = '\0';
    }
}

// Converts NUL-terminated UTF-16 to the active ANSI code page, in the result area. Characters
// the code page lacks come out as the platform converts them; the library adds nothing.
const char* ToAnsi(const wchar_t* text) {
    int units = 0;
    while (text[units] != L'\0') {
        ++units;
    }
    if (units == 0) {
        return kEmptyText;
    }
    const int size = WideCharToMultiByte(CP_ACP, 0, text, units, nullptr, 0, nullptr, nullptr);
    char* ansi = ReserveResultArea(size + 1);
    if (!ansi) {
        return kEmptyText;
    }
    WideCharToMultiByte(CP_ACP, 0, text, units, ansi, size + 1, nullptr, nullptr);
    ansi[size] = '\0';
    return ansi;
}

// A NUL-terminated copy of the slot's text in the result area.
const char* Result(StringSlotId slot) {
    const char* result = CopyToResultArea(stringSlots[slot] ? stringSlots[slot] : kEmptyText);
    return result ? result : kEmptyText;
}

// The steps every string export takes: the slot is emptied first, so that a failed query
// never shows an earlier result.
template <typename Query>
const char* ReadString(StringSlotId slot, HANDLE device, Query query) {
    SetSlot(slot, "");
    if (device) {
        ScratchBlock buffer(AllocateScratch(kQueryBufferSize));
        if (buffer.get() && query(buffer.get())) {
            SetSlot(slot, ToAnsi(static_cast<const wchar_t*>(buffer.get())));
        }
    }
    return Result(slot);
}

// The slot and the platform function of each DeviceString, in the enumeration's order.
struct StringQuery {
    StringSlotId slot;
    HidD_GetString_t HidEntryTable::*entry;
};
const StringQuery kStringQueries[] = {
    {kManufacturerSlot, &HidEntryTable::HidD_GetManufacturerString},
    {kProductSlot, &HidEntryTable::HidD_GetProductString},
    {kSerialNumberSlot, &HidEntryTable::HidD_GetSerialNumberString},
};

} // namespace

void ResetStringSlots() {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        SetSlot(static_cast<StringSlotId>(slot), "");
    }
}

const char* ReadDeviceString(DeviceString which, HANDLE device) {
    const StringQuery& query = kStringQueries[static_cast<int>(which)];
    const HidD_GetString_t entry = HidEntries().*query.entry;
    return ReadString(query.slot, device,
                      [&](void* buffer) { return entry && entry(device, buffer, kQueryLength); });
}

const char* ReadIndexedString(HANDLE device, ULONG stringIndex) {
    const HidD_GetIndexedString_t entry = HidEntries().HidD_GetIndexedString;
    return ReadString(kIndexedSlot, device, [&](void* buffer) {
        return entry && entry(device, stringIndex, buffer, kQueryLength);
    });
}
