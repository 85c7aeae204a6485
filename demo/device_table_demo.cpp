// Prints the device table that HID_DeviceInfo fills for a simulated world: one line per
// interface, including those that could not be opened.
#include "devsim.h"
#include "proc_address.h"
#include "support/device_entry_text.h"
#include "velmar.h"

#include <cstdio>
#include <memory>

namespace {

const char kWorld[] =
    "interface pad vid=04D8 pid=F6F1 version=0100 manufacturer=\"Microchip Technology Inc.\" "
    "product=\"MX31K\" serial=\"000123\" input=65 output=7 feature=0 buffers=32\n"
    "interface keyboard vid=045E pid=0750 version=0110 manufacturer=\"Microsoft\" "
    "product=\"Wired Keyboard\" input=9 output=2 open=query\n"
    "interface unplugged vid=04D8 pid=00DF open=absent\n"
    "interface sensor vid=04D8 pid=00DF version=0002 product=\"Sensor\" input=8 feature=3 "
    "buffers=64\n";

} // namespace

int main() {
    if (!DevSim_LoadWorld(kWorld)) {
        std::printf("the world does not load: %s\n", DevSim_LastError());
        return 1;
    }
    HMODULE library = LoadLibraryA("Velmar.dll");
    auto deviceInfo = ProcAddress<decltype(&HID_DeviceInfo)>(library, "HID_DeviceInfo");
    if (!deviceInfo) {
        std::printf("cannot load Velmar.dll\n");
        return 1;
    }
    auto table = std::make_unique<HidDeviceTable>();
    *table = {};
    const BOOL present = deviceInfo(table.get());
    std::printf("HID_DeviceInfo = %d, Count = %u\n", present, table->Count);
    for (int i = 0; i < table->Count; ++i) {
        const HidDeviceEntry& entry = table->Entries[i];
        if (!entry.Manufacturer) {
            std::printf("  [%d] could not be opened\n", i);
            continue;
        }
        std::printf("  [%d] %s\n", i, DescribeEntry(entry).c_str());
    }
    FreeLibrary(library);
    return present ? 0 : 1;
}
