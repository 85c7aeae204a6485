// The library's life in a process: what attach sets up, in order, and what detach gives back.
#include "device_strings.h"
#include "library_heaps.h"
#include "os_version_code.h"
#include "platform_binding.h"

namespace {

// The heaps come first: the string slots live in them.
void AttachToProcess() {
    CreateLibraryHeaps();
    RecordOsVersionCode();
    BindPlatform();
    ResetStringSlots();
}

// The heaps stay until the process ends: strings handed to callers live in them.
void DetachFromProcess() {
    ReleasePlatform();
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        AttachToProcess();
        break;
    case DLL_PROCESS_DETACH:
        DetachFromProcess();
        break;
    default:
        break;
    }
    return TRUE;
}
