#include "platform_doubles.h"

#include "proc_address.h"

#include <cstdio>
#include <cstdlib>

const GUID kHidClass = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

namespace {

template <typename Function>
void Resolve(const char* module, const char* name, Function& function) {
    function = ProcAddress<Function>(LoadLibraryA(module), name);
    if (!function) {
        std::fprintf(stderr, "%s has no export %s\n", module, name);
        std::exit(2);
    }
}

PlatformDoubles Load() {
    PlatformDoubles d = {};
#define DEVSIM_RESOLVE(module, name) Resolve(module, #name, d.name)
    DEVSIM_RESOLVE("hid.dll", HidD_GetHidGuid);
    DEVSIM_RESOLVE("hid.dll", HidD_GetAttributes);
    DEVSIM_RESOLVE("hid.dll", HidD_GetPreparsedData);
    DEVSIM_RESOLVE("hid.dll", HidP_GetCaps);
    DEVSIM_RESOLVE("hid.dll", HidD_FreePreparsedData);
    DEVSIM_RESOLVE("hid.dll", HidD_GetNumInputBuffers);
    DEVSIM_RESOLVE("hid.dll", HidD_GetManufacturerString);
    DEVSIM_RESOLVE("hid.dll", HidD_GetProductString);
    DEVSIM_RESOLVE("hid.dll", HidD_GetSerialNumberString);
    DEVSIM_RESOLVE("hid.dll", HidD_GetIndexedString);
    DEVSIM_RESOLVE("hid.dll", HidD_GetFeature);
    DEVSIM_RESOLVE("hid.dll", HidD_SetFeature);
    DEVSIM_RESOLVE("hid.dll", HidD_GetInputReport);
    DEVSIM_RESOLVE("hid.dll", HidD_SetOutputReport);
    DEVSIM_RESOLVE("setupapi.dll", SetupDiGetClassDevsA);
    DEVSIM_RESOLVE("setupapi.dll", SetupDiDestroyDeviceInfoList);
    DEVSIM_RESOLVE("setupapi.dll", SetupDiEnumDeviceInterfaces);
    DEVSIM_RESOLVE("setupapi.dll", SetupDiGetDeviceInterfaceDetailA);
#undef DEVSIM_RESOLVE
    return d;
}

} // namespace

const PlatformDoubles& Doubles() {
    static const PlatformDoubles doubles = Load();
    return doubles;
}
