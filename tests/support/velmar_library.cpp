#include "velmar_library.h"

#include "proc_address.h"

#include <cstdio>
#include <cstdlib>

namespace {

template <typename Function>
void Resolve(HMODULE module, const char* name, Function& function) {
    function = ProcAddress<Function>(module, name);
    if (!function) {
        std::fprintf(stderr, "Velmar.dll has no export %s\n", name);
        std::exit(2);
    }
}

VelmarLibrary Load() {
    VelmarLibrary library = {};
    library.module = LoadLibraryA("Velmar.dll");
    if (!library.module) {
        std::fprintf(stderr, "cannot load Velmar.dll (error %lu)\n", GetLastError());
        std::exit(2);
    }
#define VELMAR_RESOLVE(name) Resolve(library.module, #name, library.name)
    VELMAR_RESOLVE(HID_CloseDevice);
    VELMAR_RESOLVE(HID_DeviceInfo);
    VELMAR_RESOLVE(HID_DeviceTest);
    VELMAR_RESOLVE(HID_GetCaps);
    VELMAR_RESOLVE(HID_GetFeature);
    VELMAR_RESOLVE(HID_GetIndexedString);
    VELMAR_RESOLVE(HID_GetInputReport);
    VELMAR_RESOLVE(HID_GetManufacturerString);
    VELMAR_RESOLVE(HID_GetNumInputBuffers);
    VELMAR_RESOLVE(HID_GetProductString);
    VELMAR_RESOLVE(HID_GetSerialNumberString);
    VELMAR_RESOLVE(HID_OpenDevice);
    VELMAR_RESOLVE(HID_ReadDevice);
    VELMAR_RESOLVE(HID_SetFeature);
    VELMAR_RESOLVE(HID_SetOutputReport);
    VELMAR_RESOLVE(HID_WriteDevice);
#undef VELMAR_RESOLVE
    return library;
}

} // namespace

const VelmarLibrary& Velmar() {
    static const VelmarLibrary library = Load();
    return library;
}
