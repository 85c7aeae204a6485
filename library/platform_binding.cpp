#include "platform_binding.h"

#include "proc_address.h"

namespace {

HMODULE hidModule;
HMODULE setupModule;
HidEntryTable entries;

template <typename Entry>
void Resolve(HMODULE module, const char* name, Entry& entry) {
    entry = ProcAddress<Entry>(module, name);
}

#define VELMAR_RESOLVE(module, entry) Resolve(module, #entry, entries.entry)

void ResolveEntries() {
    VELMAR_RESOLVE(hidModule, HidD_GetHidGuid);
    VELMAR_RESOLVE(hidModule, HidD_GetAttributes);
    VELMAR_RESOLVE(hidModule, HidD_GetPreparsedData);
    VELMAR_RESOLVE(hidModule, HidP_GetCaps);
    VELMAR_RESOLVE(hidModule, HidD_FreePreparsedData);
    VELMAR_RESOLVE(hidModule, HidD_GetNumInputBuffers);
    VELMAR_RESOLVE(hidModule, HidD_GetManufacturerString);
    VELMAR_RESOLVE(hidModule, HidD_GetProductString);
    VELMAR_RESOLVE(hidModule, HidD_GetSerialNumberString);
    VELMAR_RESOLVE(hidModule, HidD_GetFeature);
    VELMAR_RESOLVE(hidModule, HidD_SetFeature);
    VELMAR_RESOLVE(hidModule, HidD_GetInputReport);
    VELMAR_RESOLVE(hidModule, HidD_SetOutputReport);
    VELMAR_RESOLVE(hidModule, HidD_GetIndexedString);
    VELMAR_RESOLVE(setupModule, SetupDiEnumDeviceInterfaces);
    VELMAR_RESOLVE(setupModule, SetupDiGetDeviceInterfaceDetailA);
}

#undef VELMAR_RESOLVE

} // namespace

void BindPlatform() {
    hidModule = LoadLibraryA("hid.dll");
    setupModule = LoadLibraryA("setupapi.dll");
    ResolveEntries();
}

void ReleasePlatform() {
    if (hidModule) {
        FreeLibrary(hidModule);
    }
    if (setupModule) {
        FreeLibrary(setupModule);
    }
}

const HidEntryTable& HidEntries() {
    return entries;
}
