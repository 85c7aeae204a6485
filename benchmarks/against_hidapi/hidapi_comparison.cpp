// Velmar.dll against hidapi 0.13.1 on Wine's own HID stack, in one run on the same devices:
// finding and opening one device, describing every interface with its strings, and a report
// round trip on an open handle, for 1, 16 and more virtual devices of vendor 1209 (four of
// each product), then each side's heap growth over many rounds of all three. Prints a table
// of medians and the hidapi/Velmar ratios.
//   hidapi_comparison.exe [ROUNDS [DEVICES...]]    (defaults: 10000, 1 16 64)
//   hidapi_comparison.exe --calls DEVICES
//       each operation once per side instead, between markers for count_calls.py, which
//       counts each side's platform calls in Wine's relay log of the run
#include "proc_address.h"
#include "removable_devices.h"
#include "support/velmar_library.h"

#include <hidapi.h>

#include <cfgmgr32.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kRepeats = 15;
constexpr WORD kAbsentProduct = 0xFFFF;

double NowMs() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The median of kRepeats timed calls, in ms.
double MedianMs(const std::function<void()>& call) {
    std::vector<double> times;
    for (int i = 0; i < kRepeats; ++i) {
        const double start = NowMs();
        call();
        times.push_back(NowMs() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Bytes in use in every heap of the process: hidapi allocates from the C runtime's heap, the
// library from heaps of its own.
SIZE_T HeapBytesInUse() {
    HANDLE heaps[64];
    const DWORD count = std::min<DWORD>(GetProcessHeaps(64, heaps), 64);
    SIZE_T bytes = 0;
    for (DWORD i = 0; i < count; ++i) {
        PROCESS_HEAP_ENTRY entry = {};
        HeapLock(heaps[i]);
        while (HeapWalk(heaps[i], &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
                bytes += entry.cbData;
            }
        }
        HeapUnlock(heaps[i]);
    }
    return bytes;
}

SIZE_T CommittedBytes() {
    PROCESS_MEMORY_COUNTERS counters = {};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
}

struct Target {
    const char* name;
    WORD vendor;
    WORD product;
};

// The first, a middle and the last product of vendor 1209 in enumeration order, each opened
// as the first interface of its product (what hid_open(vid, pid, NULL) opens), and an absent one.
std::vector<Target> Targets() {
    static HidDeviceTable table;
    Velmar().HID_DeviceInfo(&table);
    std::vector<WORD> products;
    for (int i = 0; i < table.Count; ++i) {
        const HidDeviceEntry& entry = table.Entries[i];
        if (entry.VendorID == kRemovableVendor &&
            std::find(products.begin(), products.end(), entry.ProductID) == products.end()) {
            products.push_back(entry.ProductID);
        }
    }
    if (products.empty()) {
        std::fprintf(stderr, "no device of vendor %04X is listed\n", kRemovableVendor);
        std::exit(1);
    }
    return {{"open first", kRemovableVendor, products.front()},
            {"open middle", kRemovableVendor, products[products.size() / 2]},
            {"open last", kRemovableVendor, products.back()},
            {"open absent", kRemovableVendor, kAbsentProduct}};
}

void OpenWithLibrary(const Target& target) {
    HANDLE device = Velmar().HID_OpenDevice(target.product, target.vendor, VELMAR_ANY_VERSION, 0);
    if (device) {
        Velmar().HID_CloseDevice(device);
    }
}

void OpenWithHidapi(const Target& target) {
    hid_device* device = hid_open(target.vendor, target.product, nullptr);
    if (device) {
        hid_close(device);
    }
}

void DescribeWithLibrary() {
    static HidDeviceTable table;
    Velmar().HID_DeviceInfo(&table);
}

void DescribeWithHidapi() {
    hid_free_enumeration(hid_enumerate(0, 0));
}

// An output report (report ID 0 and its bytes) and the input report the device loops back.
unsigned char report[kRemovableOutputLength] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66};

bool RoundTripWithLibrary(HANDLE device) {
    unsigned char input[kRemovableInputLength] = {};
    return Velmar().HID_WriteDevice(device, report, sizeof report) == sizeof report &&
           Velmar().HID_ReadDevice(device, input, sizeof input) == sizeof input;
}

bool RoundTripWithHidapi(hid_device* device) {
    unsigned char input[kRemovableInputLength] = {};
    return hid_write(device, report, sizeof report) == sizeof report &&
           hid_read_timeout(device, input, sizeof input, 5000) > 0;
}

void Row(int devices, const std::string& what, double library, double hidapi) {
    std::printf("%7d  %-26s %12.3f %12.3f %9.1fx\n", devices, what.c_str(), library, hidapi,
                hidapi / library);
    std::fflush(stdout);
}

void SetUpDevices(int count) {
    std::vector<RemovableDevice> devices;
    for (int i = 0; i < count; ++i) {
        devices.push_back({static_cast<WORD>(0x0B01 + i / 4), i % 4});
    }
    if (!RemoveAllDevices() || !AddDevices(devices)) {
        std::fprintf(stderr, "the %d devices could not be set up\n", count);
        std::exit(1);
    }
}

// Each of hidapi's enumerations asks cfgmgr32 for the size of the interface list and then for
// the list. On Wine the stand-in answers both with an interface walk of setupapi's, which
// Windows' cfgmgr32 does not need: its share of hidapi's times.
double StandInListMs() {
    const HMODULE cfgmgr32 = GetModuleHandleA("cfgmgr32.dll");
    const auto size = ProcAddress<decltype(&CM_Get_Device_Interface_List_SizeW)>(
        cfgmgr32, "CM_Get_Device_Interface_List_SizeW");
    const auto list = ProcAddress<decltype(&CM_Get_Device_Interface_ListW)>(
        cfgmgr32, "CM_Get_Device_Interface_ListW");
    GUID hidClass = {0x4d1e55b2, 0xf16f, 0x11cf, {0x88, 0xcb, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
    return MedianMs([&] {
        ULONG length = 0;
        size(&length, &hidClass, nullptr, CM_GET_DEVICE_INTERFACE_LIST_PRESENT);
        std::vector<wchar_t> paths(length + 1);
        list(&hidClass, nullptr, paths.data(), length, CM_GET_DEVICE_INTERFACE_LIST_PRESENT);
    });
}

void Compare(int count) {
    SetUpDevices(count);
    for (const Target& target : Targets()) {
        char what[64];
        std::snprintf(what, sizeof what, "%s (%04X:%04X)", target.name, target.vendor,
                      target.product);
        Row(count, what, MedianMs([&] { OpenWithLibrary(target); }),
            MedianMs([&] { OpenWithHidapi(target); }));
    }
    Row(count, "describe every interface", MedianMs(DescribeWithLibrary),
        MedianMs(DescribeWithHidapi));
    std::printf("%7d  %-26s %12s %12.3f   (in each hidapi figure above)\n", count,
                "stand-in's interface list", "", StandInListMs());

    const Target first = Targets().front();
    HANDLE handle = Velmar().HID_OpenDevice(first.product, first.vendor, VELMAR_ANY_VERSION, 0);
    hid_device* device = hid_open(first.vendor, first.product, nullptr);
    if (!handle || !device) {
        std::fprintf(stderr, "%04X:%04X does not open\n", first.vendor, first.product);
        std::exit(1);
    }
    bool echoed = true;
    const double library = MedianMs([&] { echoed = RoundTripWithLibrary(handle) && echoed; });
    const double hidapi = MedianMs([&] { echoed = RoundTripWithHidapi(device) && echoed; });
    if (!echoed) {
        std::fprintf(stderr, "a report did not come back\n");
        std::exit(1);
    }
    Row(count, "report round trip", library, hidapi);
    Velmar().HID_CloseDevice(handle);
    hid_close(device);
}

// What `rounds` rounds of every operation leave behind, in heap bytes and committed bytes.
void Growth(const char* side, int rounds, const std::function<void()>& round) {
    round(); // the first round's lasting allocations (a table, the library's strings)
    const SIZE_T heap = HeapBytesInUse();
    const SIZE_T committed = CommittedBytes();
    for (int i = 0; i < rounds; ++i) {
        round();
    }
    const long long heapGrowth = static_cast<long long>(HeapBytesInUse()) - heap;
    const long long committedGrowth = static_cast<long long>(CommittedBytes()) - committed;
    std::printf("%-10s %8d rounds: heap %+lld bytes, committed %+lld bytes\n", side, rounds,
                heapGrowth, committedGrowth);
    std::fflush(stdout);
}

// The code of a side: the library's module, or this program's, into which hidapi is linked.
// Its platform calls are the relay log's calls whose return address lies in it.
void Mark(const char* edge, const char* side, const char* module, const char* operation) {
    const auto* base = reinterpret_cast<const BYTE*>(GetModuleHandleA(module));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    char marker[160];
    std::snprintf(marker, sizeof marker, "velmar-calls %s %s %p %p %s", edge, side,
                  static_cast<const void*>(base),
                  static_cast<const void*>(base + nt->OptionalHeader.SizeOfImage), operation);
    OutputDebugStringA(marker);
}

void Marked(const char* side, const char* module, const char* operation,
            const std::function<void()>& call) {
    Mark("begin", side, module, operation);
    call();
    Mark("end", side, module, operation);
}

void MarkCalls(int count) {
    SetUpDevices(count);
    const std::vector<Target> targets = Targets();
    const Target& first = targets.front();
    const Target& absent = targets.back();
    Marked("Velmar.dll", "Velmar.dll", "open first", [&] { OpenWithLibrary(first); });
    Marked("hidapi", nullptr, "open first", [&] { OpenWithHidapi(first); });
    Marked("Velmar.dll", "Velmar.dll", "open absent", [&] { OpenWithLibrary(absent); });
    Marked("hidapi", nullptr, "open absent", [&] { OpenWithHidapi(absent); });
    Marked("Velmar.dll", "Velmar.dll", "describe every interface", DescribeWithLibrary);
    Marked("hidapi", nullptr, "describe every interface", DescribeWithHidapi);
    HANDLE handle = Velmar().HID_OpenDevice(first.product, first.vendor, VELMAR_ANY_VERSION, 0);
    hid_device* device = hid_open(first.vendor, first.product, nullptr);
    Marked("Velmar.dll", "Velmar.dll", "report round trip", [&] { RoundTripWithLibrary(handle); });
    Marked("hidapi", nullptr, "report round trip", [&] { RoundTripWithHidapi(device); });
    Velmar().HID_CloseDevice(handle);
    hid_close(device);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--calls") == 0) {
        if (hid_init() != 0) {
            return 1;
        }
        MarkCalls(std::atoi(argv[2]));
        hid_exit();
        RemoveAllDevices();
        return 0;
    }
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 10000;
    std::vector<int> counts;
    for (int i = 2; i < argc; ++i) {
        counts.push_back(std::atoi(argv[i]));
    }
    if (counts.empty()) {
        counts = {1, 16, 64};
    }
    if (hid_init() != 0) {
        std::fprintf(stderr, "hid_init failed: %ls\n", hid_error(nullptr));
        return 1;
    }
    std::printf("%7s  %-26s %12s %12s %10s\n", "devices", "operation (median of 15)", "Velmar ms",
                "hidapi ms", "hidapi/Velmar");
    for (int count : counts) {
        Compare(count);
    }

    // The rounds with one device of the vendor, as the shortest walk repeats them fastest.
    SetUpDevices(1);
    const Target first = Targets().front();
    Growth("Velmar.dll", rounds, [&] {
        OpenWithLibrary(first);
        DescribeWithLibrary();
        HANDLE handle = Velmar().HID_OpenDevice(first.product, first.vendor, VELMAR_ANY_VERSION, 0);
        RoundTripWithLibrary(handle);
        Velmar().HID_CloseDevice(handle);
    });
    Growth("hidapi", rounds, [&] {
        OpenWithHidapi(first);
        DescribeWithHidapi();
        hid_device* device = hid_open(first.vendor, first.product, nullptr);
        RoundTripWithHidapi(device);
        hid_close(device);
    });
    hid_exit();
    RemoveAllDevices();
    return 0;
}
