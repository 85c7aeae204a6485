// Loads Velmar.dll the way its callers do (by path, exports looked up by name) and
// reports what it finds on this machine: the devcmd family of vendor 04D8 and Wine's own
// virtual HID devices of vendor 845E.
#include "proc_address.h"
#include "velmar.h"

#include <windows.h>

#include <cstdio>

namespace {

struct KnownDevice {
    int vendorId;
    int productId;
    const char* name;
};

const KnownDevice kKnownDevices[] = {
    {0x04D8, 0xF6F0, "devcmd family, product F6F0 (present: devcmd does nothing)"},
    {0x04D8, 0xF6F1, "devcmd family, product F6F1 (receives the command)"},
    {0x04D8, 0x00DF, "devcmd family, product 00DF (receives the command)"},
    {0x845E, 0x0001, "Wine's virtual HID device 1"},
    {0x845E, 0x0002, "Wine's virtual HID device 2"},
};

template <typename Function>
Function Lookup(HMODULE library, const char* name) {
    auto function = ProcAddress<Function>(library, name);
    if (!function) {
        std::printf("  Velmar.dll has no export %s\n", name);
    }
    return function;
}

} // namespace

int main(int argc, char** argv) {
    const char* libraryPath = argc > 1 ? argv[1] : "Velmar.dll";
    HMODULE library = LoadLibraryA(libraryPath);
    if (!library) {
        std::printf("  cannot load %s (error %lu)\n", libraryPath, GetLastError());
        return 1;
    }
    auto deviceTest = Lookup<decltype(&HID_DeviceTest)>(library, "HID_DeviceTest");
    auto openDevice = Lookup<decltype(&HID_OpenDevice)>(library, "HID_OpenDevice");
    auto closeDevice = Lookup<decltype(&HID_CloseDevice)>(library, "HID_CloseDevice");
    if (!deviceTest || !openDevice || !closeDevice) {
        return 1;
    }
    for (const KnownDevice& device : kKnownDevices) {
        const BOOL present = deviceTest(device.productId, device.vendorId, VELMAR_ANY_VERSION, 0);
        HANDLE handle = openDevice(device.productId, device.vendorId, VELMAR_ANY_VERSION, 0);
        std::printf("  %04X:%04X  HID_DeviceTest=%d  HID_OpenDevice=%s  %s\n", device.vendorId,
                    device.productId, present, handle ? "opened" : "none", device.name);
        closeDevice(handle);
    }
    auto deviceInfo = Lookup<decltype(&HID_DeviceInfo)>(library, "HID_DeviceInfo");
    static HidDeviceTable table;
    if (deviceInfo && deviceInfo(&table)) {
        std::printf("  HID_DeviceInfo describes %u interface(s):\n", table.Count);
        for (int i = 0; i < table.Count; ++i) {
            const HidDeviceEntry& entry = table.Entries[i];
            std::printf("    [%d] %04X:%04X in/out/feature %u/%u/%u \"%s\" \"%s\"\n", i,
                        entry.VendorID, entry.ProductID, entry.InputReportByteLength,
                        entry.OutputReportByteLength, entry.FeatureReportByteLength,
                        entry.Manufacturer ? entry.Manufacturer : "(not opened)",
                        entry.Product ? entry.Product : "");
        }
    }
    FreeLibrary(library);
    return 0;
}
