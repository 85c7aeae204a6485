// What the library costs its caller, in three tables:
//   1. platform calls per export call, read off the simulator's journal, against the fewest
//      calls that the export's job allows;
//   2. the time HID_DeviceTest takes to walk worlds of 1, 16 and 256 interfaces in search of
//      an absent device, against a plain loop in this program that makes the same platform
//      calls directly;
//   3. the size of the three deliverables.
//     platform_cost.exe [deliverables folder]   (default ..\dist)
// Exits with 1 when an export makes more platform calls than its job needs.
#include "summary_line.h"
#include "support/simulated_world.h"
#include "support/velmar_library.h"

#include "devsim.h"

#include <windows.h>
#include <setupapi.h>
#include <hidsdi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

// The figures for the summary of every benchmark, printed after the tables.
struct SummaryFigure {
    std::string figure;
    std::string measured;
    std::string goal;
    bool met;
};
std::vector<SummaryFigure> summaryFigures;

// ---- Table 1: platform calls per export call ------------------------------------------

// The pieces every walk is made of. The walk opens with HidD_GetHidGuid and
// SetupDiGetClassDevsA and closes with SetupDiDestroyDeviceInfoList. Each interface it
// visits costs SetupDiEnumDeviceInterfaces, the detail size query, the detail query and,
// once the interface opened, HidD_GetAttributes (CreateFileA and CloseHandle are kernel32's
// and never reach the journal). A walk that runs to the end of a short enumeration learns
// of the end only from one more SetupDiEnumDeviceInterfaces, which fails.
constexpr int kWalkOpening = 2;
constexpr int kPerOpenedInterface = 4;
constexpr int kEndOfEnumeration = 1;
constexpr int kWalkClosing = 1;
// An entry of the device table asks for three strings, the number of input buffers and the
// capabilities, which take HidD_GetPreparsedData, HidP_GetCaps and HidD_FreePreparsedData.
constexpr int kStringQueries = 3;
constexpr int kCapsQuery = 3;
constexpr int kTableEntryQueries = kStringQueries + 1 + kCapsQuery;

// Member 0 is another pad, member 1 the target, member 2 a keyboard that the system holds.
// All three open for query; the first two also for reading and writing.
const char kCallCountWorld[] =
    "interface pad vid=04D8 pid=00DF product=\"Pad\" input=8\n"
    "interface target vid=04D8 pid=F6F1 version=0100 manufacturer=\"Microchip\" "
    "product=\"MX31K\" serial=\"0001\" string.4=\"Extra\" input=8 output=8 feature=3 "
    "feature_data=010203 input_data=00AA read_data=0011223344556677\n"
    "interface keyboard vid=045E pid=0750 open=query\n";
constexpr int kWorldInterfaces = 3;
constexpr int kTargetMemberIndex = 1;
constexpr int kTargetProductId = 0xF6F1;
constexpr int kTargetVendorId = 0x04D8;

struct CallCount {
    const char* exportName;
    const char* arguments;
    int minimum;
    std::function<void()> call;
};

struct CallCountResult {
    int rows = 0;
    int extraRows = 0;
    int fewerRows = 0;
};

// The calls one export call makes, as the journal records them.
std::vector<std::string> JournalOf(const std::function<void()>& call) {
    DevSim_ClearJournal();
    call();
    std::vector<std::string> lines;
    for (int i = 0; i < DevSim_JournalSize(); ++i) {
        lines.emplace_back(DevSim_JournalLine(i));
    }
    return lines;
}

// Every handle that HID_CloseDevice is to close, opened before any row is measured so that
// opening costs no row anything.
struct OpenTargets {
    HANDLE reports;
    HANDLE toClose;
};

std::vector<CallCount> CallCounts(const VelmarLibrary& v, const OpenTargets& targets,
                                  HidDeviceTable& table) {
    static unsigned char report[8] = {0x00, 0x42};
    static unsigned char caps[64];
    const HANDLE device = targets.reports;
    const int walkToTarget =
        kWalkOpening + (kTargetMemberIndex + 1) * kPerOpenedInterface + kWalkClosing;
    return {
        // Stops at the first match, member 1: the walk visits members 0 and 1, no more.
        {"HID_DeviceTest", "the target, index 0", walkToTarget,
         [&v] { v.HID_DeviceTest(kTargetProductId, kTargetVendorId, VELMAR_ANY_VERSION, 0); }},
        // Member 0 opens for reading and writing but does not match; member 1 is returned.
        {"HID_OpenDevice", "the target, index 0", walkToTarget,
         [&v] {
             v.HID_CloseDevice(
                 v.HID_OpenDevice(kTargetProductId, kTargetVendorId, VELMAR_ANY_VERSION, 0));
         }},
        // kernel32's CloseHandle only.
        {"HID_CloseDevice", "an open handle", 0,
         [&v, &targets] { v.HID_CloseDevice(targets.toClose); }},
        // kernel32's WriteFile only.
        {"HID_WriteDevice", "8 bytes", 0, [&v, device] { v.HID_WriteDevice(device, report, 8); }},
        // kernel32's ReadFile only.
        {"HID_ReadDevice", "8 bytes", 0, [&v, device] { v.HID_ReadDevice(device, report, 8); }},
        // HidD_GetFeature.
        {"HID_GetFeature", "3 bytes", 1, [&v, device] { v.HID_GetFeature(device, report, 3); }},
        // HidD_SetFeature.
        {"HID_SetFeature", "3 bytes", 1, [&v, device] { v.HID_SetFeature(device, report, 3); }},
        // HidD_GetInputReport, offered from Windows XP on; the system's version is read once,
        // when the library loads.
        {"HID_GetInputReport", "2 bytes", 1,
         [&v, device] { v.HID_GetInputReport(device, report, 2); }},
        // HidD_SetOutputReport, likewise.
        {"HID_SetOutputReport", "8 bytes", 1,
         [&v, device] { v.HID_SetOutputReport(device, report, 8); }},
        // HidD_GetPreparsedData, HidP_GetCaps, HidD_FreePreparsedData.
        {"HID_GetCaps", "a caps record", kCapsQuery,
         [&v, device] { v.HID_GetCaps(device, reinterpret_cast<_HIDP_CAPS*>(caps)); }},
        // HidD_GetNumInputBuffers.
        {"HID_GetNumInputBuffers", "", 1, [&v, device] { v.HID_GetNumInputBuffers(device); }},
        // HidD_GetManufacturerString.
        {"HID_GetManufacturerString", "", 1, [&v, device] { v.HID_GetManufacturerString(device); }},
        // HidD_GetProductString.
        {"HID_GetProductString", "", 1, [&v, device] { v.HID_GetProductString(device); }},
        // HidD_GetSerialNumberString.
        {"HID_GetSerialNumberString", "", 1, [&v, device] { v.HID_GetSerialNumberString(device); }},
        // HidD_GetIndexedString.
        {"HID_GetIndexedString", "string 4", 1,
         [&v, device] { v.HID_GetIndexedString(device, 4); }},
        // A whole walk, since Count needs the end of the enumeration; every interface opens,
        // so each one's entry is filled.
        {"HID_DeviceInfo", "a zeroed table",
         kWalkOpening + kWorldInterfaces * (kPerOpenedInterface + kTableEntryQueries) +
             kEndOfEnumeration + kWalkClosing,
         [&v, &table] { v.HID_DeviceInfo(&table); }},
        // A refused report never reaches the platform: a null handle, a null buffer and a
        // length of 0, one after the other.
        {"HID_WriteDevice", "refused (3 calls)", 0,
         [&v, device] {
             v.HID_WriteDevice(nullptr, report, 8);
             v.HID_WriteDevice(device, nullptr, 8);
             v.HID_WriteDevice(device, report, 0);
         }},
        {"HID_ReadDevice", "refused (3 calls)", 0,
         [&v, device] {
             v.HID_ReadDevice(nullptr, report, 8);
             v.HID_ReadDevice(device, nullptr, 8);
             v.HID_ReadDevice(device, report, -1);
         }},
        {"HID_GetFeature", "refused (3 calls)", 0,
         [&v, device] {
             v.HID_GetFeature(nullptr, report, 3);
             v.HID_GetFeature(device, nullptr, 3);
             v.HID_GetFeature(device, report, 0);
         }},
        {"HID_SetFeature", "refused (3 calls)", 0,
         [&v, device] {
             v.HID_SetFeature(nullptr, report, 3);
             v.HID_SetFeature(device, nullptr, 3);
             v.HID_SetFeature(device, report, -1);
         }},
        {"HID_GetInputReport", "refused (3 calls)", 0,
         [&v, device] {
             v.HID_GetInputReport(nullptr, report, 2);
             v.HID_GetInputReport(device, nullptr, 2);
             v.HID_GetInputReport(device, report, 0);
         }},
        {"HID_SetOutputReport", "refused (3 calls)", 0,
         [&v, device] {
             v.HID_SetOutputReport(nullptr, report, 8);
             v.HID_SetOutputReport(device, nullptr, 8);
             v.HID_SetOutputReport(device, report, 0);
         }},
    };
}

const char* Verdict(int calls, int minimum) {
    if (calls > minimum) {
        return "EXTRA";
    }
    return calls < minimum ? "FEWER" : "ok";
}

CallCountResult PrintCallCounts(const VelmarLibrary& v) {
    SimulatedWorld world(kCallCountWorld);
    OpenTargets targets = {
        v.HID_OpenDevice(kTargetProductId, kTargetVendorId, VELMAR_ANY_VERSION, 0),
        v.HID_OpenDevice(kTargetProductId, kTargetVendorId, VELMAR_ANY_VERSION, 0)};
    static HidDeviceTable table;
    table = {};

    std::printf("Platform calls per export call (%d interfaces, the target at member index %d)\n",
                kWorldInterfaces, kTargetMemberIndex);
    std::printf("  %-26s %-20s %6s %8s  %s\n", "export", "arguments", "calls", "minimum",
                "verdict");
    CallCountResult result;
    std::vector<std::string> departures;
    for (const CallCount& row : CallCounts(v, targets, table)) {
        const std::vector<std::string> journal = JournalOf(row.call);
        const int calls = static_cast<int>(journal.size());
        const char* verdict = Verdict(calls, row.minimum);
        std::printf("  %-26s %-20s %6d %8d  %s\n", row.exportName, row.arguments, calls,
                    row.minimum, verdict);
        ++result.rows;
        if (calls == row.minimum) {
            continue;
        }
        calls > row.minimum ? ++result.extraRows : ++result.fewerRows;
        departures.push_back(std::string(row.exportName) + " (" + row.arguments + "):");
        for (const std::string& line : journal) {
            departures.push_back("    " + line);
        }
    }
    v.HID_CloseDevice(targets.reports);
    if (!departures.empty()) {
        std::printf("  The calls of each row off its minimum:\n");
    }
    for (const std::string& line : departures) {
        std::printf("  %s\n", line.c_str());
    }
    std::printf("\n");
    return result;
}

// ---- Table 2: walk cost ---------------------------------------------------------------

using GetHidGuid_t = void(WINAPI*)(GUID*);
using GetClassDevs_t = HDEVINFO(WINAPI*)(const GUID*, PCSTR, HWND, DWORD);
using EnumInterfaces_t = BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD,
                                       PSP_DEVICE_INTERFACE_DATA);
using InterfaceDetail_t = BOOL(WINAPI*)(HDEVINFO, PSP_DEVICE_INTERFACE_DATA,
                                        PSP_DEVICE_INTERFACE_DETAIL_DATA_A, DWORD, PDWORD,
                                        PSP_DEVINFO_DATA);
using GetAttributes_t = BOOLEAN(WINAPI*)(HANDLE, PHIDD_ATTRIBUTES);
using DestroyList_t = BOOL(WINAPI*)(HDEVINFO);

// hid.dll and setupapi.dll as a caller without the library reaches them: loaded from the
// program's own folder and looked up by name.
struct RawPlatform {
    GetHidGuid_t getHidGuid;
    GetClassDevs_t getClassDevs;
    EnumInterfaces_t enumInterfaces;
    InterfaceDetail_t interfaceDetail;
    GetAttributes_t getAttributes;
    DestroyList_t destroyList;
};

template <typename Entry>
Entry Lookup(HMODULE module, const char* name) {
    FARPROC address = module ? GetProcAddress(module, name) : nullptr;
    if (!address) {
        std::fprintf(stderr, "the platform offers no %s\n", name);
        std::exit(2);
    }
    return reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(address));
}

HMODULE LoadBeside(const char* fileName) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    folder.erase(folder.find_last_of('\\') + 1);
    return LoadLibraryA((folder + fileName).c_str());
}

RawPlatform LoadRawPlatform() {
    const HMODULE hid = LoadBeside("hid.dll");
    const HMODULE setup = LoadBeside("setupapi.dll");
    return {Lookup<GetHidGuid_t>(hid, "HidD_GetHidGuid"),
            Lookup<GetClassDevs_t>(setup, "SetupDiGetClassDevsA"),
            Lookup<EnumInterfaces_t>(setup, "SetupDiEnumDeviceInterfaces"),
            Lookup<InterfaceDetail_t>(setup, "SetupDiGetDeviceInterfaceDetailA"),
            Lookup<GetAttributes_t>(hid, "HidD_GetAttributes"),
            Lookup<DestroyList_t>(setup, "SetupDiDestroyDeviceInfoList")};
}

// The device test written out plainly: the same platform calls with the same arguments in
// the same order, the device path in one buffer that grows as needed.
bool RawDeviceTest(const RawPlatform& platform, USHORT productId, USHORT vendorId) {
    GUID hidClass;
    platform.getHidGuid(&hidClass);
    HDEVINFO set =
        platform.getClassDevs(&hidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == nullptr || set == INVALID_HANDLE_VALUE) {
        return false;
    }
    static std::vector<char> detailBlock;
    SP_DEVICE_INTERFACE_DATA interfaceData = {};
    interfaceData.cbSize = sizeof interfaceData;
    bool found = false;
    for (DWORD member = 0; member < 256 && !found; ++member) {
        if (!platform.enumInterfaces(set, nullptr, &hidClass, member, &interfaceData)) {
            break;
        }
        DWORD required = 0;
        platform.interfaceDetail(set, &interfaceData, nullptr, 0, &required, nullptr);
        if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
            continue;
        }
        detailBlock.assign(required + 1, '\0');
        auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(detailBlock.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        DWORD detailSize = 0;
        platform.interfaceDetail(set, &interfaceData, detail, required, &detailSize, nullptr);
        HANDLE device = CreateFileA(detail->DevicePath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        if (device == INVALID_HANDLE_VALUE) {
            continue;
        }
        HIDD_ATTRIBUTES attributes = {};
        attributes.Size = 10;
        const bool known = platform.getAttributes(device, &attributes);
        CloseHandle(device);
        found = known && attributes.ProductID == productId && attributes.VendorID == vendorId;
    }
    platform.destroyList(set);
    return found;
}

// Nobody makes this device.
constexpr USHORT kAbsentProductId = 0xBEEF;
constexpr USHORT kAbsentVendorId = 0xDEAD;
constexpr int kRuns = 9;
// Interfaces visited in one timed run, whatever the world's size, so that each run of a
// small world is long enough to time; a large world gets at least kMinRoundsPerRun rounds,
// since a whole walk of it swings more than twofold from one call to the next under Wine.
constexpr int kInterfacesPerRun = 2048;
constexpr int kMinRoundsPerRun = 32;

std::string WorldOfInterfaces(int count) {
    std::string text;
    char line[64];
    for (int i = 0; i < count; ++i) {
        std::snprintf(line, sizeof line, "interface i%d vid=1234 pid=%04X\n", i, i);
        text += line;
    }
    return text;
}

// The value below which `fraction` of the values lie.
double Quantile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5)];
}

double Median(const std::vector<double>& values) {
    return Quantile(values, 0.5);
}

double Microseconds(const LARGE_INTEGER& start, const LARGE_INTEGER& end) {
    static const double ticksPerMicrosecond = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1e6;
    }();
    return static_cast<double>(end.QuadPart - start.QuadPart) / ticksPerMicrosecond;
}

double TimeOneCall(const std::function<void()>& call) {
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    call();
    QueryPerformanceCounter(&end);
    return Microseconds(start, end);
}

struct WalkTimes {
    std::vector<double> libraryRuns; // microseconds per call, one value per run
    std::vector<double> rawRuns;
    std::vector<double> pairRatios; // library/raw of every two calls timed side by side
};

// One run: `rounds` rounds of one call of each, taking turns at going first. Wine's file
// opens, most of a walk's time, swing between a fast and a slow mode from one moment to the
// next; two calls timed side by side meet the same moment, where runs timed one after the
// other would not, so the ratio is taken pair by pair. The journal is emptied before each
// round, untimed, so that every call finds the simulator alike.
void TimeRun(const std::function<void()>& library, const std::function<void()>& raw, int rounds,
             WalkTimes& times) {
    double libraryTotal = 0;
    double rawTotal = 0;
    for (int round = 0; round < rounds; ++round) {
        DevSim_ClearJournal();
        double libraryTime, rawTime;
        if (round % 2 == 0) {
            libraryTime = TimeOneCall(library);
            rawTime = TimeOneCall(raw);
        } else {
            rawTime = TimeOneCall(raw);
            libraryTime = TimeOneCall(library);
        }
        libraryTotal += libraryTime;
        rawTotal += rawTime;
        times.pairRatios.push_back(libraryTime / rawTime);
    }
    times.libraryRuns.push_back(libraryTotal / rounds);
    times.rawRuns.push_back(rawTotal / rounds);
}

// The journal with the set numbers taken out: each walk gets a set of its own.
std::vector<std::string> CallsWithoutSetNumbers(const std::function<void()>& call) {
    std::vector<std::string> lines = JournalOf(call);
    for (std::string& line : lines) {
        for (size_t at = line.find("set:"); at != std::string::npos;
             at = line.find("set:", at + 4)) {
            const size_t digits = line.find_first_not_of("0123456789", at + 4);
            line.erase(at + 4, (digits == std::string::npos ? line.size() : digits) - (at + 4));
        }
    }
    return lines;
}

void PrintWalkCost(const VelmarLibrary& v, const RawPlatform& platform) {
    std::printf("Walk cost: HID_DeviceTest for an absent device against a plain loop of the "
                "same platform calls.\nTimes: median of %d runs after a warm-up run; ratio: "
                "median over the calls of both timed side by side\n",
                kRuns);
    std::printf("  %10s %8s %12s %12s %10s %10s %11s %19s  %s\n", "interfaces", "calls",
                "library us", "raw us", "library us", "raw us", "library/raw", "middle half",
                "goal");
    std::printf("  %10s %8s %12s %12s %10s %10s %11s %19s\n", "", "per walk", "per call",
                "per call", "per iface", "per iface", "", "of the pairs");
    for (int interfaces : {1, 16, 256}) {
        SimulatedWorld world(WorldOfInterfaces(interfaces));
        const auto library = [&v] {
            v.HID_DeviceTest(kAbsentProductId, kAbsentVendorId, VELMAR_ANY_VERSION, 0);
        };
        const auto raw = [&platform] {
            RawDeviceTest(platform, kAbsentProductId, kAbsentVendorId);
        };
        const std::vector<std::string> libraryCalls = CallsWithoutSetNumbers(library);
        const bool sameCalls = libraryCalls == CallsWithoutSetNumbers(raw);

        const int rounds = std::max(kMinRoundsPerRun, kInterfacesPerRun / interfaces);
        WalkTimes warmUp;
        TimeRun(library, raw, rounds, warmUp);
        WalkTimes times;
        for (int run = 0; run < kRuns; ++run) {
            TimeRun(library, raw, rounds, times);
        }
        const double libraryMedian = Median(times.libraryRuns);
        const double rawMedian = Median(times.rawRuns);
        const double ratio = Median(times.pairRatios);
        // How far single pairs spread around the median: the noise the median stands in.
        char middleHalf[32];
        std::snprintf(middleHalf, sizeof middleHalf, "%.2f-%.2f of %zu",
                      Quantile(times.pairRatios, 0.25), Quantile(times.pairRatios, 0.75),
                      times.pairRatios.size());
        std::printf("  %10d %8zu %12.1f %12.1f %10.2f %10.2f %11.3f %19s  <= 1.05 %s%s\n",
                    interfaces, libraryCalls.size(), libraryMedian, rawMedian,
                    libraryMedian / interfaces, rawMedian / interfaces, ratio, middleHalf,
                    ratio <= 1.05 ? "met" : "MISSED",
                    sameCalls ? "" : "  (the plain loop's calls differ)");

        char figure[64], measured[64];
        std::snprintf(figure, sizeof figure, "walk time library/raw, %d interface%s", interfaces,
                      interfaces == 1 ? "" : "s");
        std::snprintf(measured, sizeof measured, "%.3f (%.1f vs %.1f us)", ratio, libraryMedian,
                      rawMedian);
        summaryFigures.push_back({figure, measured, "<= 1.05", ratio <= 1.05});
    }
    std::printf("\n");
}

// ---- Table 3: footprint ---------------------------------------------------------------

constexpr ULONGLONG kLibrarySizeGoal = 16 * 1024;

void PrintFootprint(const std::string& folder) {
    std::printf("Footprint of the deliverables in %s\n", folder.c_str());
    std::printf("  %-14s %10s %9s  %s\n", "file", "bytes", "KiB", "goal");
    for (const char* name : {"Velmar.dll", "devcmd.exe", "ledsignal.exe"}) {
        const std::string path = folder + "\\" + name;
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
            std::printf("  %-14s %10s\n", name, "missing");
            continue;
        }
        const ULONGLONG bytes =
            (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        const bool isLibrary = std::string(name) == "Velmar.dll";
        const bool met = bytes <= kLibrarySizeGoal;
        std::printf("  %-14s %10llu %9.1f  %s\n", name, bytes, bytes / 1024.0,
                    isLibrary ? (met ? "<= 16 KiB met" : "<= 16 KiB MISSED") : "");
        if (isLibrary) {
            char measured[64];
            std::snprintf(measured, sizeof measured, "%llu B (%.1f KiB)", bytes, bytes / 1024.0);
            summaryFigures.push_back({"Velmar.dll size", measured, "<= 16 KiB", met});
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    const std::string deliverables = argc > 1 ? argv[1] : "..\\dist";
    const VelmarLibrary& v = Velmar();
    const RawPlatform platform = LoadRawPlatform();

    const CallCountResult counts = PrintCallCounts(v);
    char measured[64];
    std::snprintf(measured, sizeof measured, "%d rows: %d with extra calls, %d with fewer",
                  counts.rows, counts.extraRows, counts.fewerRows);
    summaryFigures.push_back({"platform calls per export call", measured, "the minimum, every row",
                              counts.extraRows == 0 && counts.fewerRows == 0});

    PrintWalkCost(v, platform);
    PrintFootprint(deliverables);
    std::printf("\n");
    for (const SummaryFigure& figure : summaryFigures) {
        PrintSummary(figure.figure.c_str(), figure.measured.c_str(), figure.goal.c_str(),
                     figure.met);
    }
    return counts.extraRows == 0 ? 0 : 1;
}
