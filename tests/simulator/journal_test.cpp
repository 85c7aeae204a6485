// The journal: exact lines, since tests of programs under test compare them whole.
#include "platform_doubles.h"
#include "test_support.h"

#include "devsim.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <process.h>

namespace {

using ::testing::ElementsAre;

std::string Printed(const char* format, unsigned long long value) {
    char text[24];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

TEST(Journal, RecordsAWalkAndAReportExactly) {
    LoadWorld("interface f6f1 vid=04D8 pid=F6F1\n");
    const std::string required = std::to_string(4 + devsim::DevicePath("f6f1").size() + 1);
    GUID guid;
    Doubles().HidD_GetHidGuid(&guid);
    HDEVINFO set = Doubles().SetupDiGetClassDevsA(&guid, nullptr, nullptr, 0x12);
    SP_DEVICE_INTERFACE_DATA data = {sizeof data, {}, 0, 0};
    Doubles().SetupDiEnumDeviceInterfaces(set, nullptr, &guid, 0, &data);
    DWORD size = 0;
    Doubles().SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &size, nullptr);
    std::string buffer(size, '\0');
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(&buffer[0]);
    detail->cbSize = kRecordSizes.deviceInterfaceDetailDataA;
    Doubles().SetupDiGetDeviceInterfaceDetailA(set, &data, detail, size, &size, nullptr);
    HANDLE device = CreateFileA(detail->DevicePath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    HIDD_ATTRIBUTES attributes = {10, 0, 0, 0};
    Doubles().HidD_GetAttributes(device, &attributes);
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    HIDP_CAPS caps;
    Doubles().HidD_GetPreparsedData(device, &preparsed);
    Doubles().HidP_GetCaps(preparsed, &caps);
    Doubles().HidD_FreePreparsedData(preparsed);
    unsigned char report[7] = {0x00, 0x42};
    Doubles().HidD_SetFeature(device, report, sizeof report);
    Doubles().HidD_GetIndexedString(device, 0x12345678, nullptr, 0);
    CloseHandle(device);
    Doubles().SetupDiEnumDeviceInterfaces(set, nullptr, &guid, 1, &data);
    Doubles().SetupDiDestroyDeviceInfoList(set);
    Doubles().SetupDiDestroyDeviceInfoList(set);
    Doubles().HidD_GetAttributes(INVALID_HANDLE_VALUE, nullptr);

    const std::string hid = "{4D1E55B2-F16F-11CF-88CB-001111000030}";
    const std::string dataSize = std::to_string(kRecordSizes.deviceInterfaceData);
    const std::string detailSize = std::to_string(kRecordSizes.deviceInterfaceDetailDataA);
    EXPECT_THAT(
        devsim::Journal(),
        ElementsAre(
            "HidD_GetHidGuid(ptr)", "SetupDiGetClassDevsA(" + hid + ", null, null, 0x12) = set:1",
            "SetupDiEnumDeviceInterfaces(set:1, null, " + hid + ", 0, cbSize=" + dataSize + ") = 1",
            "SetupDiGetDeviceInterfaceDetailA(set:1, if:0, null, 0, ptr, null) = 0 "
            "error=122",
            "SetupDiGetDeviceInterfaceDetailA(set:1, if:0, cbSize=" + detailSize + ", " + required +
                ", ptr, null) = 1",
            "HidD_GetAttributes(dev:f6f1, Size=10) = 1",
            "HidD_GetPreparsedData(dev:f6f1, ptr) = 1 pp:1", "HidP_GetCaps(pp:1, ptr) = 0x00110000",
            "HidD_FreePreparsedData(pp:1) = 1",
            "HidD_SetFeature(dev:f6f1, [00 42 00 00 00 00 00], 7) = 1",
            "HidD_GetIndexedString(dev:f6f1, 0x12345678, null, 0) = 0 error=87",
            "SetupDiEnumDeviceInterfaces(set:1, null, " + hid + ", 1, cbSize=" + dataSize +
                ") = 0 error=259",
            "SetupDiDestroyDeviceInfoList(set:1) = 1",
            "SetupDiDestroyDeviceInfoList(" + Printed("0x%llx", reinterpret_cast<ULONG_PTR>(set)) +
                ") = 0 error=6",
            "HidD_GetAttributes(" +
                Printed("0x%llx", reinterpret_cast<ULONG_PTR>(INVALID_HANDLE_VALUE)) +
                ", null) = 0 error=1"));
    DevSim_ClearJournal();
    EXPECT_EQ(DevSim_JournalSize(), 0);
    EXPECT_EQ(DevSim_JournalLine(0), nullptr);
}

TEST(Journal, SetsAreNumberedAfreshInEachWorld) {
    LoadWorld("world classdevs=null\n");
    Doubles().SetupDiGetClassDevsA(&kHidClass, "USB", nullptr, 0x02);
    LoadWorld("");
    HDEVINFO set = Doubles().SetupDiGetClassDevsA(&kHidClass, nullptr, nullptr, 0x10);
    Doubles().SetupDiDestroyDeviceInfoList(set);
    EXPECT_THAT(devsim::JournalOf("SetupDiGetClassDevsA"),
                ElementsAre("SetupDiGetClassDevsA({4D1E55B2-F16F-11CF-88CB-001111000030}, null, "
                            "null, 0x10) = set:1"));
}

constexpr int kThreads = 8;
constexpr int kCallsPerThread = 256; // one call per report byte value

unsigned __stdcall SendReports(void* device) {
    for (int i = 0; i < kCallsPerThread; ++i) {
        unsigned char report[3] = {0x00, static_cast<unsigned char>(i), 0xFF};
        Doubles().HidD_SetFeature(device, report, sizeof report);
    }
    return 0;
}

// The program under test calls the report functions from many threads at once.
TEST(Journal, KeepsEveryLineWholeUnderConcurrentCalls) {
    LoadWorld("interface a\n");
    HANDLE device = OpenDevice("a", 0);
    HANDLE threads[kThreads];
    for (HANDLE& thread : threads) {
        thread =
            reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, SendReports, device, 0, nullptr));
    }
    WaitForMultipleObjects(kThreads, threads, TRUE, INFINITE);
    for (HANDLE thread : threads) {
        CloseHandle(thread);
    }
    CloseHandle(device);
    std::map<std::string, int> counts;
    for (const std::string& line : devsim::Journal()) {
        ++counts[line];
    }
    EXPECT_EQ(counts.size(), static_cast<size_t>(kCallsPerThread));
    for (int i = 0; i < kCallsPerThread; ++i) {
        EXPECT_EQ(counts["HidD_SetFeature(dev:a, [00 " + Printed("%02llx", i) + " ff], 3) = 1"],
                  kThreads);
    }
}

} // namespace
