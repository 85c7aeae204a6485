// Platform calls per export call, read off the simulator's journal, against the fewest
// calls that the export's job allows. Prints the table and its line for the benchmarks'
// summary; exits with 1 when any export makes more or fewer calls than that, which makes
// it a test as well as a figure.
#include "calls_of.h"
#include "summary_line.h"
#include "support/simulated_world.h"
#include "support/velmar_library.h"

#include <windows.h>
#include <hidsdi.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

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
        const std::vector<std::string> journal = CallsOf(world, row.call);
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

} // namespace

int main() {
    const CallCountResult counts = PrintCallCounts(Velmar());
    char measured[64];
    std::snprintf(measured, sizeof measured, "%d rows: %d with extra calls, %d with fewer",
                  counts.rows, counts.extraRows, counts.fewerRows);
    const bool met = counts.extraRows == 0 && counts.fewerRows == 0;
    PrintSummary("platform calls per export call", measured, "the minimum, every row", met);
    return met ? 0 : 1;
}
