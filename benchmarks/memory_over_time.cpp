// Calls the library over and over against the simulator and prints what the process holds
// as it goes: the bytes in the library's own heaps, handles, committed memory.
//   memory_over_time.exe [iterations] [strings|all]   (default 100000, both workloads)
// "strings": the four string exports and HID_DeviceInfo; "all": every one of the sixteen
// exports, the device opened and closed each round.
#include "support/process_footprint.h"
#include "summary_line.h"
#include "support/simulated_world.h"
#include "support/velmar_library.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

namespace {

void Print(const char* when, int iteration, const Footprint& footprint) {
    std::printf("  %-6s %7d  library heaps %6lu bytes in %4d blocks  handles %4d  "
                "committed %6lu KiB\n",
                when, iteration, static_cast<unsigned long>(footprint.libraryHeapBytes),
                footprint.libraryHeapBlocks, footprint.handles,
                static_cast<unsigned long>(footprint.committedBytes / 1024));
}

// Runs `iterate` and reports at the start (after a first round, which gives a caller's
// table its string blocks), at each quarter and at the end. True when flat.
bool Measure(const char* workload, const char* summary, int iterations, const LibraryHeaps& heaps,
             const SimulatedWorld& world, const std::function<void()>& iterate) {
    std::printf("%s: %d rounds\n", workload, iterations);
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
    const bool flat = last.libraryHeapBytes == first.libraryHeapBytes &&
                      last.libraryHeapBlocks == first.libraryHeapBlocks &&
                      last.handles == first.handles;
    std::printf("  library heaps and handles %s\n", flat ? "flat" : "NOT FLAT");
    char measured[96];
    std::snprintf(measured, sizeof measured, "heaps %lu -> %lu B, handles %d -> %d",
                  static_cast<unsigned long>(first.libraryHeapBytes),
                  static_cast<unsigned long>(last.libraryHeapBytes), first.handles, last.handles);
    char figure[96];
    std::snprintf(figure, sizeof figure, "memory over %d rounds, %s", iterations, summary);
    PrintSummary(figure, measured, "flat", flat);
    return flat;
}

} // namespace

int main(int argc, char** argv) {
    const int iterations = argc > 1 ? std::atoi(argv[1]) : 100000;
    const char* only = argc > 2 ? argv[2] : nullptr;
    LibraryHeaps heaps;
    const VelmarLibrary& v = Velmar();
    heaps.FindLibraryHeaps();
    Print("loaded", 0, heaps.Measure());

    const std::string longest(126, 'W');
    SimulatedWorld world("interface a vid=04D8 pid=F6F1 manufacturer=\"" + longest +
                         "\" product=\"Устройство\" serial=\"1\" string.3=\"three\" input=8 "
                         "feature_data=00AA input_data=00BB\n"
                         "interface b vid=04D8 pid=00DF manufacturer=\"m\" product=\"" +
                         longest +
                         "\"\n"
                         "interface keyboard vid=045E pid=0750 open=query\n");
    auto table = std::make_unique<HidDeviceTable>();
    *table = {};
    bool flat = true;
    const auto stringsAndTable = [&](HANDLE device) {
        v.HID_GetManufacturerString(device);
        v.HID_GetProductString(device);
        v.HID_GetSerialNumberString(device);
        v.HID_GetIndexedString(device, 3);
        v.HID_DeviceInfo(table.get());
    };

    if (!only || std::strcmp(only, "strings") == 0) {
        HANDLE device = v.HID_OpenDevice(0xF6F1, 0x04D8, -1, 0);
        flat &= Measure("strings: four string exports and HID_DeviceInfo", "strings+table",
                        iterations, heaps, world, [&] { stringsAndTable(device); });
        v.HID_CloseDevice(device);
    }
    if (!only || std::strcmp(only, "all") == 0) {
        flat &= Measure("all: every export, the device opened and closed each round", "all exports",
                        iterations, heaps, world, [&] {
                            unsigned char report[8] = {0x00, 0x42};
                            unsigned char caps[64];
                            v.HID_DeviceTest(0xF6F1, 0x04D8, -1, 0);
                            HANDLE device = v.HID_OpenDevice(0xF6F1, 0x04D8, -1, 0);
                            v.HID_WriteDevice(device, report, 7);
                            v.HID_ReadDevice(device, report, 8);
                            v.HID_SetFeature(device, report, 2);
                            v.HID_GetFeature(device, report, 2);
                            v.HID_SetOutputReport(device, report, 2);
                            v.HID_GetInputReport(device, report, 2);
                            v.HID_GetCaps(device, reinterpret_cast<_HIDP_CAPS*>(caps));
                            v.HID_GetNumInputBuffers(device);
                            stringsAndTable(device);
                            v.HID_CloseDevice(device);
                        });
    }
    return flat ? 0 : 1;
}
