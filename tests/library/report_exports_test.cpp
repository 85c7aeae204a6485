// The exports that work on an open device: their common guard, what reaches the
// platform, and the platform's answer passed back in the library's terms.
#include "support/handle_count.h"
#include "support/simulated_world.h"
#include "support/velmar_library.h"

#include "devsim.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <climits>
#include <string>
#include <thread>
#include <vector>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct Caps {
    USHORT Usage, UsagePage, InputReportByteLength, OutputReportByteLength, FeatureReportByteLength,
        Rest[27];
};
static_assert(sizeof(Caps) == 64, "the platform's HIDP_CAPS is 64 bytes");

_HIDP_CAPS* AsCaps(Caps& caps) {
    return reinterpret_cast<_HIDP_CAPS*>(&caps);
}

HANDLE OpenOnly(const SimulatedWorld& world, const char* name, DWORD access) {
    return CreateFileA(world.DevicePath(name).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

TEST(ReportGuard, RefusedCallsReturnZeroAndSendNothing) {
    SimulatedWorld world("interface a read_data=0102030405 feature_data=0011\n");
    const VelmarLibrary& velmar = Velmar();
    HANDLE device = velmar.HID_OpenDevice(0, 0, -1, 0);
    ASSERT_NE(device, nullptr);
    world.ClearJournal();
    unsigned char report[8] = {};
    const struct {
        HANDLE device;
        unsigned char* buffer;
        int length;
    } refused[] = {{nullptr, report, 8},
                   {device, nullptr, 8},
                   {device, report, 0},
                   {device, report, -1},
                   {device, report, INT_MIN}};
    for (const auto& call : refused) {
        EXPECT_EQ(velmar.HID_WriteDevice(call.device, call.buffer, call.length), 0u);
        EXPECT_EQ(velmar.HID_ReadDevice(call.device, call.buffer, call.length), 0u);
        EXPECT_EQ(velmar.HID_GetFeature(call.device, call.buffer, call.length), FALSE);
        EXPECT_EQ(velmar.HID_SetFeature(call.device, call.buffer, call.length), FALSE);
        EXPECT_EQ(velmar.HID_GetInputReport(call.device, call.buffer, call.length), FALSE);
        EXPECT_EQ(velmar.HID_SetOutputReport(call.device, call.buffer, call.length), FALSE);
    }
    Caps caps = {};
    EXPECT_EQ(velmar.HID_GetCaps(nullptr, AsCaps(caps)), FALSE);
    EXPECT_EQ(velmar.HID_GetCaps(device, nullptr), FALSE);
    EXPECT_EQ(velmar.HID_GetNumInputBuffers(nullptr), 0u);
    EXPECT_EQ(velmar.HID_CloseDevice(nullptr), FALSE);
    EXPECT_THAT(world.Journal(), IsEmpty());
    EXPECT_EQ(world.DeviceFileContents("a"), "\x01\x02\x03\x04\x05") << "nothing was written";
    char probe[8];
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(device, probe, 2, &read, nullptr));
    EXPECT_EQ(std::string(probe, read), "\x01\x02") << "nothing was read";
    velmar.HID_CloseDevice(device);
}

TEST(ReportTransfer, WritesAndReadsReturnTheByteCountsThePlatformReports) {
    SimulatedWorld world("interface a read_data=A1A2A3\ninterface out\n");
    const VelmarLibrary& velmar = Velmar();
    HANDLE out = velmar.HID_OpenDevice(0, 0, -1, 1);
    const unsigned char command[] = {0x00, 0x42, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(velmar.HID_WriteDevice(out, command, 7), 7u);
    EXPECT_EQ(world.DeviceFileContents("out"), std::string("\x00\x42\x00\x00\x00\x00\x00", 7));
    velmar.HID_CloseDevice(out);

    HANDLE in = velmar.HID_OpenDevice(0, 0, -1, 0);
    unsigned char report[16] = {};
    EXPECT_EQ(velmar.HID_ReadDevice(in, report, sizeof report), 3u);
    EXPECT_EQ(report[2], 0xA3);
    EXPECT_EQ(velmar.HID_ReadDevice(in, report, sizeof report), 0u) << "nothing more to read";
    velmar.HID_CloseDevice(in);

    HANDLE readOnly = OpenOnly(world, "out", GENERIC_READ);
    EXPECT_EQ(velmar.HID_WriteDevice(readOnly, command, 7), 0u) << "the platform refused";
    CloseHandle(readOnly);
}

TEST(ReportRequests, ReachThePlatformAsGivenAndReturnItsFlag) {
    SimulatedWorld world("interface a feature_data=00F1F2 input_data=00E1\n"
                         "interface b fail=HidD_SetFeature,HidD_GetInputReport\n");
    const VelmarLibrary& velmar = Velmar();
    HANDLE a = velmar.HID_OpenDevice(0, 0, -1, 0);
    HANDLE b = velmar.HID_OpenDevice(0, 0, -1, 1);
    world.ClearJournal();
    unsigned char report[3] = {0x00, 0x11, 0x22};
    EXPECT_EQ(velmar.HID_SetFeature(a, report, 3), TRUE);
    EXPECT_EQ(velmar.HID_SetOutputReport(a, report, 2), TRUE);
    EXPECT_EQ(velmar.HID_GetFeature(a, report, 3), TRUE);
    EXPECT_EQ(report[2], 0xF2);
    EXPECT_EQ(velmar.HID_GetInputReport(a, report, 3), TRUE);
    EXPECT_EQ(report[1], 0xE1);
    EXPECT_EQ(velmar.HID_SetFeature(b, report, 3), FALSE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE))
        << "left as the platform set it";
    EXPECT_EQ(velmar.HID_GetInputReport(b, report, 3), FALSE);
    EXPECT_THAT(world.Journal(), ElementsAre("HidD_SetFeature(dev:a, [00 11 22], 3) = 1",
                                             "HidD_SetOutputReport(dev:a, [00 11], 2) = 1",
                                             "HidD_GetFeature(dev:a, ptr, 3) = 1",
                                             "HidD_GetInputReport(dev:a, ptr, 3) = 1",
                                             "HidD_SetFeature(dev:b, [00 e1 f2], 3) = 0 error=31",
                                             "HidD_GetInputReport(dev:b, ptr, 3) = 0 error=31"));
    velmar.HID_CloseDevice(a);
    velmar.HID_CloseDevice(b);
}

TEST(Capabilities, PreparsedDataIsFreedOnEveryPath) {
    SimulatedWorld world("interface a usage_page=FF00 usage=0001 input=65 output=7 feature=3\n"
                         "interface b input=9 fail=HidP_GetCaps\n"
                         "interface c fail=HidD_GetPreparsedData\n");
    const VelmarLibrary& velmar = Velmar();
    HANDLE a = velmar.HID_OpenDevice(0, 0, -1, 0);
    HANDLE b = velmar.HID_OpenDevice(0, 0, -1, 1);
    HANDLE c = velmar.HID_OpenDevice(0, 0, -1, 2);
    world.ClearJournal();
    Caps caps = {};
    EXPECT_EQ(velmar.HID_GetCaps(a, AsCaps(caps)), TRUE);
    EXPECT_EQ(caps.UsagePage, 0xFF00);
    EXPECT_EQ(caps.InputReportByteLength, 65);
    EXPECT_EQ(caps.OutputReportByteLength, 7);
    EXPECT_EQ(caps.FeatureReportByteLength, 3);
    EXPECT_EQ(velmar.HID_GetCaps(b, AsCaps(caps)), TRUE) << "the preparsed data was obtained";
    EXPECT_EQ(velmar.HID_GetCaps(c, AsCaps(caps)), FALSE);
    EXPECT_EQ(DevSim_OutstandingPreparsedData(), 0);
    EXPECT_THAT(world.Journal(), ElementsAre("HidD_GetPreparsedData(dev:a, ptr) = 1 pp:1",
                                             "HidP_GetCaps(pp:1, ptr) = 0x00110000",
                                             "HidD_FreePreparsedData(pp:1) = 1",
                                             "HidD_GetPreparsedData(dev:b, ptr) = 1 pp:2",
                                             "HidP_GetCaps(pp:2, ptr) = 0xc0110001",
                                             "HidD_FreePreparsedData(pp:2) = 1",
                                             "HidD_GetPreparsedData(dev:c, ptr) = 0 error=31"));
    for (HANDLE device : {a, b, c}) {
        velmar.HID_CloseDevice(device);
    }
}

TEST(InputBuffers, CountOrZeroWhenThePlatformFails) {
    SimulatedWorld world("interface a buffers=64\ninterface b fail=HidD_GetNumInputBuffers\n"
                         "interface c buffers=8 scribble=HidD_GetNumInputBuffers\n");
    const VelmarLibrary& velmar = Velmar();
    HANDLE a = velmar.HID_OpenDevice(0, 0, -1, 0);
    HANDLE b = velmar.HID_OpenDevice(0, 0, -1, 1);
    HANDLE c = velmar.HID_OpenDevice(0, 0, -1, 2);
    EXPECT_EQ(velmar.HID_GetNumInputBuffers(a), 64u);
    EXPECT_EQ(velmar.HID_GetNumInputBuffers(b), 0u);
    EXPECT_EQ(velmar.HID_GetNumInputBuffers(c), 0u) << "not what the failed query wrote";
    for (HANDLE device : {a, b, c}) {
        velmar.HID_CloseDevice(device);
    }
}

TEST(CloseDevice, ClosesTheHandleAndPassesOnThePlatformsAnswer) {
    SimulatedWorld world("interface a\n");
    const int before = CountOpenHandles();
    HANDLE device = Velmar().HID_OpenDevice(0, 0, -1, 0);
    EXPECT_EQ(CountOpenHandles(), before + 1);
    EXPECT_NE(Velmar().HID_CloseDevice(device), FALSE);
    EXPECT_EQ(CountOpenHandles(), before);
    EXPECT_EQ(Velmar().HID_CloseDevice(device), FALSE) << "already closed";
}

// The nine handle exports share no library state: they may run on any thread while
// another thread walks the interfaces with the test, the open and the table.
TEST(Concurrency, HandleExportsOnManyThreadsBesideAWalk) {
    constexpr int kThreads = 8;
    constexpr int kRounds = 1000;
    std::string text;
    for (int i = 0; i < kThreads; ++i) {
        text += "interface d" + std::to_string(i) +
                " vid=04D8 pid=F6F1 input=8 feature_data=00AA input_data=00BB buffers=" +
                std::to_string(10 + i) + "\n";
    }
    SimulatedWorld world(text);
    const VelmarLibrary& velmar = Velmar();
    std::vector<HANDLE> devices;
    for (int i = 0; i < kThreads; ++i) {
        devices.push_back(velmar.HID_OpenDevice(0xF6F1, 0x04D8, -1, i));
        ASSERT_NE(devices.back(), nullptr);
    }
    world.ClearJournal();
    std::atomic<int> wrongAnswers{0};
    std::atomic<bool> stop{false};
    std::atomic<int> walks{0};
    std::thread walker([&] {
        auto table = std::make_unique<HidDeviceTable>();
        *table = {};
        while (!stop) {
            HANDLE last = velmar.HID_OpenDevice(0xF6F1, 0x04D8, -1, kThreads - 1);
            const bool right = velmar.HID_DeviceTest(0xF6F1, 0x04D8, -1, kThreads - 1) &&
                               world.HandleRefersTo(last, "d" + std::to_string(kThreads - 1)) &&
                               velmar.HID_CloseDevice(last) && velmar.HID_DeviceInfo(table.get()) &&
                               table->Count == kThreads && table->Entries[3].NumInputBuffers == 13;
            if (!right) {
                ++wrongAnswers;
            }
            ++walks;
        }
    });
    std::vector<std::thread> workers;
    for (int i = 0; i < kThreads; ++i) {
        workers.emplace_back([&, i] {
            HANDLE device = devices[i];
            for (int round = 0; round < kRounds; ++round) {
                unsigned char report[2] = {0x00, static_cast<unsigned char>(i)};
                Caps caps = {};
                const bool right = velmar.HID_SetFeature(device, report, 2) &&
                                   velmar.HID_SetOutputReport(device, report, 2) &&
                                   velmar.HID_GetFeature(device, report, 2) && report[1] == 0xAA &&
                                   velmar.HID_GetInputReport(device, report, 2) &&
                                   report[1] == 0xBB && velmar.HID_GetCaps(device, AsCaps(caps)) &&
                                   caps.InputReportByteLength == 8 &&
                                   velmar.HID_GetNumInputBuffers(device) == ULONG(10 + i) &&
                                   velmar.HID_WriteDevice(device, report, 2) == 2 &&
                                   velmar.HID_ReadDevice(device, report, 2) == 0;
                if (!right) {
                    ++wrongAnswers;
                }
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    stop = true;
    walker.join();
    EXPECT_EQ(wrongAnswers, 0);
    EXPECT_GT(walks, 0);
    // Every call reached the platform once: the walks make none of these requests, and
    // the table's caps queries give their preparsed data back like the workers' do.
    const size_t calls = static_cast<size_t>(kThreads) * kRounds;
    EXPECT_EQ(world.JournalOf("HidD_SetFeature").size(), calls);
    EXPECT_EQ(world.JournalOf("HidD_SetOutputReport").size(), calls);
    EXPECT_EQ(world.JournalOf("HidD_GetFeature").size(), calls);
    EXPECT_EQ(world.JournalOf("HidD_GetInputReport").size(), calls);
    EXPECT_EQ(world.JournalOf("HidD_GetPreparsedData").size(),
              world.JournalOf("HidD_FreePreparsedData").size());
    EXPECT_EQ(DevSim_OutstandingPreparsedData(), 0);
    EXPECT_EQ(DevSim_LiveDeviceInfoSets(), 0);
    for (HANDLE device : devices) {
        EXPECT_NE(velmar.HID_CloseDevice(device), FALSE);
    }
}

} // namespace
