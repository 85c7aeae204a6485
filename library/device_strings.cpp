#include "device_strings.h"

#include "library_heaps.h"

namespace {

enum StringSlotId { kManufacturerSlot, kProductSlot, kSerialNumberSlot, kIndexedSlot, kSlotCount };

char* stringSlots[kSlotCount];

} // namespace

void ResetStringSlots() {
    for (char*& slot : stringSlots) {
        if (char* stored = StoreString(slot, "")) {
            slot = stored;
        }
    }
}
