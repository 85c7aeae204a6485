#include "velmar_entries.h"

#include "proc_address.h"

namespace {

template <typename Entry>
void LookUp(HMODULE library, const char* name, Entry& entry) {
    entry = ProcAddress<Entry>(library, name);
}

} // namespace

bool LookUpVelmarEntries(HMODULE library, VelmarEntries& entries) {
    LookUp(library, "HID_DeviceTest", entries.HID_DeviceTest);
    LookUp(library, "HID_OpenDevice", entries.HID_OpenDevice);
    LookUp(library, "HID_ReadDevice", entries.HID_ReadDevice);
    LookUp(library, "HID_WriteDevice", entries.HID_WriteDevice);
    LookUp(library, "HID_CloseDevice", entries.HID_CloseDevice);
    return entries.HID_DeviceTest && entries.HID_OpenDevice && entries.HID_WriteDevice;
}
