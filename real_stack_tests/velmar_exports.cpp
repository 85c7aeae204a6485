#include "velmar_exports.h"

#include <cstdio>
#include <cstdlib>

namespace {

template <typename Function>
void LookUp(HMODULE module, const char* name, Function& function) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (!function) {
        std::fprintf(stderr, "Velmar.dll has no export %s\n", name);
        std::exit(3);
    }
}

VelmarExports Load() {
    HMODULE module = LoadLibraryA("Velmar.dll");
    if (!module) {
        std::fprintf(stderr, "Velmar.dll did not load, error %lu\n", GetLastError());
        std::exit(3);
    }
    VelmarExports velmar{};
#define LOOK_UP(name) LookUp(module, #name, velmar.name)
    LOOK_UP(HID_CloseDevice);
    LOOK_UP(HID_DeviceInfo);
    LOOK_UP(HID_DeviceTest);
    LOOK_UP(HID_GetCaps);
    LOOK_UP(HID_GetFeature);
    LOOK_UP(HID_GetIndexedString);
    LOOK_UP(HID_GetInputReport);
    LOOK_UP(HID_GetManufacturerString);
    LOOK_UP(HID_GetNumInputBuffers);
    LOOK_UP(HID_GetProductString);
    LOOK_UP(HID_GetSerialNumberString);
    LOOK_UP(HID_OpenDevice);
    LOOK_UP(HID_ReadDevice);
    LOOK_UP(HID_SetFeature);
    LOOK_UP(HID_SetOutputReport);
    LOOK_UP(HID_WriteDevice);
#undef LOOK_UP
    return velmar;
}

} // namespace

const VelmarExports& Velmar() {
    static const VelmarExports velmar = Load();
    return velmar;
}
