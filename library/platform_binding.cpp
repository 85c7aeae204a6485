#include "platform_binding.h"

#include "device_strings.h"
#include "library_heaps.h"
#include "os_version_code.h"

namespace {

HMODULE hidModule;
HMODULE setupModule;
HidEntryTable entries;
int osVersionCode;

template <typename Entry>
void Resolve(HMODULE module, const char* name, Entry& entry) {
    entry = nullptr;
    if (module) {
        // FARPROC is a placeholder type: the entry's own type says how it is called.
        entry = reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
    }
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

// A platform library or entry point that is missing is not an error: the library still
// loads, and whatever needs the missing piece fails in its ordinary way.
void BindPlatform() {
    CreateLibraryHeaps();
    osVersionCode = ReadOsVersionCode();
    hidModule = LoadLibraryA("hid.dll");
    setupModule = LoadLibraryA("setupapi.dll");
    ResolveEntries();
    ResetStringSlots();
}

// The heaps stay until the process ends: strings handed to callers live in them.
void ReleasePlatform() {
    if (hidModule) {
        FreeLibrary(hidModule);
    }
    if (setupModule) {
        FreeLibrary(setupModule);
    }
}

} // namespace

const HidEntryTable& HidEntries() {
    return entries;
}

int OsVersionCode() {
    return osVersionCode;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        BindPlatform();
        break;
    case DLL_PROCESS_DETACH:
        ReleasePlatform();
        break;
    default:
        break;
    }
    return TRUE;
}
