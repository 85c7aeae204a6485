// The library beside a hid.dll that lacks one function (the folder's name says which):
// every export that needs the function fails in its ordinary way, every other export works
// as usual, and nothing calls through the missing entry.
#include "support/simulated_world.h"
#include "support/velmar_library.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {

const char kWorld[] = "interface a vid=04D8 pid=F6F1 version=0100 manufacturer=\"Maker\" "
                      "product=\"Pad\" serial=\"S1\" string.4=\"Four\" input=8 output=7 "
                      "feature=3 buffers=40 feature_data=00AA input_data=00BB\n";

// The hid.dll function this folder's hid.dll lacks.
std::string MissingFunction() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder = path;
    folder = folder.substr(0, folder.find_last_of('\\'));
    return folder.substr(folder.find_last_of('\\') + 1);
}

struct Check {
    const char* what;
    std::vector<const char*> needs; // hid.dll functions the check's export calls
    std::function<bool()> works;    // true when the export gave its ordinary answer
};

const std::vector<const char*> kFind = {"HidD_GetHidGuid", "HidD_GetAttributes"};
const std::vector<const char*> kCaps = {"HidD_GetPreparsedData", "HidP_GetCaps",
                                        "HidD_FreePreparsedData"};

TEST(MissingHidFunction, OnlyTheExportsThatNeedItFail) {
    const std::string missing = MissingFunction();
    ASSERT_EQ(missing.compare(0, 4, "HidD") == 0 || missing.compare(0, 4, "HidP") == 0, true)
        << "run from a folder named after the missing function, not " << missing;
    SimulatedWorld world(kWorld);
    const VelmarLibrary& v = Velmar();
    // Opened here, not by the library, so that every export can be tried on it.
    HANDLE device = CreateFileA(world.DevicePath("a").c_str(), GENERIC_READ | GENERIC_WRITE, 3,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    unsigned char report[2] = {0x00, 0x42};
    unsigned char caps[64] = {};
    static HidDeviceTable table;

    const std::vector<Check> checks = {
        {"HID_DeviceTest", kFind, [&] { return v.HID_DeviceTest(0xF6F1, 0x04D8, -1, 0) == TRUE; }},
        {"HID_OpenDevice", kFind,
         [&] {
             HANDLE opened = v.HID_OpenDevice(0xF6F1, 0x04D8, -1, 0);
             CloseHandle(opened);
             return opened != nullptr;
         }},
        {"HID_GetFeature",
         {"HidD_GetFeature"},
         [&] { return v.HID_GetFeature(device, report, 2) && report[1] == 0xAA; }},
        {"HID_SetFeature",
         {"HidD_SetFeature"},
         [&] { return v.HID_SetFeature(device, report, 2) != 0; }},
        {"HID_GetInputReport",
         {"HidD_GetInputReport"},
         [&] { return v.HID_GetInputReport(device, report, 2) && report[1] == 0xBB; }},
        {"HID_SetOutputReport",
         {"HidD_SetOutputReport"},
         [&] { return v.HID_SetOutputReport(device, report, 2) != 0; }},
        {"HID_GetCaps", kCaps,
         [&] {
             return v.HID_GetCaps(device, reinterpret_cast<_HIDP_CAPS*>(caps)) && caps[4] == 8;
         }},
        {"HID_GetNumInputBuffers",
         {"HidD_GetNumInputBuffers"},
         [&] { return v.HID_GetNumInputBuffers(device) == 40; }},
        {"HID_GetManufacturerString",
         {"HidD_GetManufacturerString"},
         [&] { return std::string(v.HID_GetManufacturerString(device)) == "Maker"; }},
        {"HID_GetProductString",
         {"HidD_GetProductString"},
         [&] { return std::string(v.HID_GetProductString(device)) == "Pad"; }},
        {"HID_GetSerialNumberString",
         {"HidD_GetSerialNumberString"},
         [&] { return std::string(v.HID_GetSerialNumberString(device)) == "S1"; }},
        {"HID_GetIndexedString",
         {"HidD_GetIndexedString"},
         [&] { return std::string(v.HID_GetIndexedString(device, 4)) == "Four"; }},
        {"HID_DeviceInfo finds the interface",
         {"HidD_GetHidGuid"},
         [&] { return v.HID_DeviceInfo(&table) && table.Count == 1; }},
        {"HID_DeviceInfo identity",
         {"HidD_GetHidGuid", "HidD_GetAttributes"},
         [&] { return table.Count == 1 && table.Entries[0].ProductID == 0xF6F1; }},
        {"HID_DeviceInfo strings",
         {"HidD_GetHidGuid", "HidD_GetProductString"},
         [&] { return table.Count == 1 && std::string(table.Entries[0].Product) == "Pad"; }},
        {"HID_DeviceInfo lengths",
         {"HidD_GetHidGuid", "HidD_GetPreparsedData", "HidP_GetCaps", "HidD_FreePreparsedData"},
         [&] { return table.Count == 1 && table.Entries[0].InputReportByteLength == 8; }},
        {"HID_DeviceInfo input buffers",
         {"HidD_GetHidGuid", "HidD_GetNumInputBuffers"},
         [&] { return table.Count == 1 && table.Entries[0].NumInputBuffers == 40; }},
    };
    for (const Check& check : checks) {
        bool needsMissing = false;
        for (const char* needed : check.needs) {
            needsMissing = needsMissing || missing == needed;
        }
        EXPECT_EQ(check.works(), !needsMissing)
            << check.what << (needsMissing ? " must fail without " : " must work without ")
            << missing;
    }
    for (const std::string& line : world.Journal()) {
        EXPECT_NE(line.compare(0, missing.size() + 1, missing + "("), 0) << line;
    }
    CloseHandle(device);
}

} // namespace
