// Calls every string export and HID_DeviceInfo over and over against the simulator and
// prints what the process holds as it goes: the library's heaps, handles, private bytes.
// Usage: memory_over_time.exe [iterations]   (default 100000)
#include "process_footprint.h"
#include "support/simulated_world.h"
#include "support/velmar_library.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

void Print(const char* when, int iteration, const Footprint& footprint) {
    std::printf(
        "%-6s %7d  library heaps %6lu bytes in %4d blocks  handles %4d  committed %6lu KiB\n", when,
        iteration, static_cast<unsigned long>(footprint.libraryHeapBytes),
        footprint.libraryHeapBlocks, footprint.handles,
        static_cast<unsigned long>(footprint.committedBytes / 1024));
}

} // namespace

int main(int argc, char** argv) {
    const int iterations = argc > 1 ? std::atoi(argv[1]) : 100000;
    LibraryHeaps heaps;
    const VelmarLibrary& velmar = Velmar();
    heaps.FindLibraryHeaps();

    const std::string longest(126, 'W');
    SimulatedWorld world("interface a vid=04D8 pid=F6F1 manufacturer=\"" + longest +
                         "\" product=\"Устройство\" serial=\"1\" string.3=\"three\" input=8\n"
                         "interface b vid=04D8 pid=00DF manufacturer=\"m\" product=\"" +
                         longest +
                         "\"\n"
                         "interface keyboard vid=045E pid=0750 open=query\n");
    HANDLE device = velmar.HID_OpenDevice(0xF6F1, 0x04D8, -1, 0);
    auto table = std::make_unique<HidDeviceTable>();
    *table = {};

    auto iterate = [&] {
        velmar.HID_GetManufacturerString(device);
        velmar.HID_GetProductString(device);
        velmar.HID_GetSerialNumberString(device);
        velmar.HID_GetIndexedString(device, 3);
        velmar.HID_DeviceInfo(table.get());
    };
    std::printf("%d iterations of the four string exports and HID_DeviceInfo "
                "(3 simulated interfaces)\n",
                iterations);
    Print("load", 0, heaps.Measure());
    // The first round gives the table its string blocks, which the caller's table keeps.
    iterate();
    const Footprint first = heaps.Measure();
    Print("start", 1, first);
    const int quarter = iterations / 4 > 0 ? iterations / 4 : 1;
    for (int i = 2; i <= iterations; ++i) {
        iterate();
        if (i % 1000 == 0) {
            world.ClearJournal(); // the simulator's own record grows, not the library's
        }
        if (i % quarter == 0 && i != iterations) {
            Print("", i, heaps.Measure());
        }
    }
    const Footprint last = heaps.Measure();
    Print("end", iterations, last);
    velmar.HID_CloseDevice(device);
    const bool flat = last.libraryHeapBytes == first.libraryHeapBytes &&
                      last.libraryHeapBlocks == first.libraryHeapBlocks &&
                      last.handles == first.handles;
    std::printf("library heaps and handles %s\n", flat ? "flat" : "NOT FLAT");
    return flat ? 0 : 1;
}
