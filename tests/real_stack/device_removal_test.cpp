// Devices that come and go under Velmar.dll on Wine's real HID stack: virtual devices of
// vendor 1209 removed and added again while handles are open, reads are pending and walks
// are running (see removable_devices.h).
#include "install_request.h"
#include "removable_devices.h"
#include "support/handle_count.h"
#include "support/process_footprint.h"
#include "support/time_bounds.h"
#include "support/velmar_library.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

// Made before the library loads, so that the heaps it creates can be told apart.
LibraryHeaps libraryHeaps;

const VelmarLibrary& LoadedVelmar() {
    static const VelmarLibrary& velmar = []() -> const VelmarLibrary& {
        const VelmarLibrary& loaded = Velmar();
        libraryHeaps.FindLibraryHeaps();
        return loaded;
    }();
    return velmar;
}

double Milliseconds(const LARGE_INTEGER& start, const LARGE_INTEGER& end) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

DWORD WINAPI RunWork(void* context) {
    std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(context));
    (*work)();
    return 0;
}

// A thread of its own for `work`, which owns what it captures; the caller waits for the
// thread and closes its handle.
HANDLE StartThread(std::function<void()> work) {
    auto* owned = new std::function<void()>(std::move(work));
    HANDLE thread = CreateThread(nullptr, 0, RunWork, owned, 0, nullptr);
    if (!thread) {
        delete owned;
    }
    return thread;
}

// Runs `call` on a thread of its own and waits for it at most `bound` ms. False when the
// call has not returned by then: the thread is left behind, and the test fails.
bool ReturnsWithin(DWORD bound, std::function<void()> call) {
    HANDLE thread = StartThread(std::move(call));
    const bool returned = WaitForSingleObject(thread, bound) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return returned;
}

HANDLE Open(const RemovableDevice& device, int index = 0) {
    return LoadedVelmar().HID_OpenDevice(device.product, kRemovableVendor, VELMAR_ANY_VERSION,
                                         index);
}

bool Found(const RemovableDevice& device, int index = 0) {
    return LoadedVelmar().HID_DeviceTest(device.product, kRemovableVendor, VELMAR_ANY_VERSION,
                                         index) != FALSE;
}

class DeviceRemoval : public ::testing::Test {
protected:
    // Each scenario starts with none of the vendor's devices and removes its own even when
    // it fails, so that a failure stays in its own scenario.
    void SetUp() override { ASSERT_TRUE(RemoveAllDevices()) << "devices left from before"; }
    void TearDown() override { EXPECT_TRUE(RemoveAllDevices()) << "devices left behind"; }
};

TEST_F(DeviceRemoval, APendingReadEndsWhenItsDeviceIsRemoved) {
    const RemovableDevice device = {0x0001, 0};
    ASSERT_TRUE(AddDevice(device));
    const int handlesBefore = CountOpenHandles();
    HANDLE handle = Open(device);
    ASSERT_NE(handle, nullptr);

    struct PendingRead {
        HANDLE handle;
        BYTE report[kRemovableInputLength];
        DWORD result;
        LARGE_INTEGER ended;
    };
    auto read = std::make_shared<PendingRead>();
    read->handle = handle;
    read->result = 0xFFFFFFFF;
    HANDLE thread = StartThread([read] {
        read->result =
            LoadedVelmar().HID_ReadDevice(read->handle, read->report, kRemovableInputLength);
        read->ended = Now();
    });
    ASSERT_EQ(WaitForSingleObject(thread, 300), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the device sends nothing, so the read must wait";

    const LARGE_INTEGER removed = Now();
    ASSERT_TRUE(RemoveDevice(device));
    const DWORD bound = ScaledBound(5000);
    const bool ended = WaitForSingleObject(thread, bound) == WAIT_OBJECT_0;
    ASSERT_TRUE(ended) << "the read did not end within " << bound << " ms of the removal";
    CloseHandle(thread);
    std::printf("FIGURE|pending read ended after removal|%.1f ms\n",
                Milliseconds(removed, read->ended));
    EXPECT_EQ(read->result, 0u);
    EXPECT_TRUE(LoadedVelmar().HID_CloseDevice(handle));
    EXPECT_EQ(CountOpenHandles(), handlesBefore);
}

TEST_F(DeviceRemoval, EveryHandleExportFailsOnAGoneDeviceWithoutHanging) {
    const RemovableDevice device = {0x0002, 0};
    ASSERT_TRUE(AddDevice(device));
    HANDLE handle = Open(device);
    ASSERT_NE(handle, nullptr);
    ASSERT_TRUE(RemoveDevice(device));

    const VelmarLibrary& velmar = LoadedVelmar();
    const DWORD bound = ScaledBound(5000);
    BYTE report[kRemovableOutputLength] = {0x00, 0x42};
    BYTE input[kRemovableInputLength] = {};
    BYTE feature[kRemovableFeatureLength] = {};
    struct Check {
        const char* name;
        std::function<bool()> failed;
    };
    const Check checks[] = {
        {"HID_WriteDevice",
         [&] { return velmar.HID_WriteDevice(handle, report, sizeof report) == 0; }},
        {"HID_ReadDevice", [&] { return velmar.HID_ReadDevice(handle, input, sizeof input) == 0; }},
        {"HID_GetFeature", [&] { return !velmar.HID_GetFeature(handle, feature, sizeof feature); }},
        {"HID_SetFeature", [&] { return !velmar.HID_SetFeature(handle, feature, sizeof feature); }},
        {"HID_GetInputReport",
         [&] { return !velmar.HID_GetInputReport(handle, input, sizeof input); }},
        {"HID_SetOutputReport",
         [&] { return !velmar.HID_SetOutputReport(handle, report, sizeof report); }},
        {"HID_GetCaps",
         [&] {
             BYTE caps[64] = {};
             return !velmar.HID_GetCaps(handle, reinterpret_cast<_HIDP_CAPS*>(caps));
         }},
        {"HID_GetNumInputBuffers", [&] { return velmar.HID_GetNumInputBuffers(handle) == 0; }},
        {"HID_GetManufacturerString",
         [&] { return std::strcmp(velmar.HID_GetManufacturerString(handle), "") == 0; }},
        {"HID_GetProductString",
         [&] { return std::strcmp(velmar.HID_GetProductString(handle), "") == 0; }},
        {"HID_GetSerialNumberString",
         [&] { return std::strcmp(velmar.HID_GetSerialNumberString(handle), "") == 0; }},
        {"HID_GetIndexedString",
         [&] { return std::strcmp(velmar.HID_GetIndexedString(handle, 1), "") == 0; }},
    };
    for (const Check& check : checks) {
        auto failed = std::make_shared<bool>(false);
        const std::function<bool()> call = check.failed;
        ASSERT_TRUE(ReturnsWithin(bound, [failed, call] { *failed = call(); }))
            << check.name << " did not return within " << bound << " ms";
        EXPECT_TRUE(*failed) << check.name << " reported success on a removed device";
    }
    EXPECT_TRUE(velmar.HID_CloseDevice(handle));
}

TEST_F(DeviceRemoval, ARemovedDeviceIsFoundAgainOnlyAfterItComesBack) {
    const RemovableDevice device = {0x0003, 0};
    ASSERT_TRUE(AddDevice(device));
    HANDLE old = Open(device);
    ASSERT_NE(old, nullptr);
    ASSERT_TRUE(RemoveDevice(device));
    EXPECT_FALSE(Found(device));
    EXPECT_EQ(Open(device), nullptr);

    ASSERT_TRUE(AddDevice(device));
    EXPECT_TRUE(Found(device));
    HANDLE fresh = Open(device);
    ASSERT_NE(fresh, nullptr);
    const BYTE report[kRemovableOutputLength] = {0x00, 0x42};
    EXPECT_EQ(LoadedVelmar().HID_WriteDevice(fresh, report, sizeof report), 7u);
    EXPECT_EQ(LoadedVelmar().HID_WriteDevice(old, report, sizeof report), 0u)
        << "a handle of the device before its removal stays dead";
    EXPECT_STREQ(LoadedVelmar().HID_GetSerialNumberString(old), "");
    EXPECT_TRUE(LoadedVelmar().HID_CloseDevice(old));
    EXPECT_TRUE(LoadedVelmar().HID_CloseDevice(fresh));
}

// A table a walk left whole: a count within the table, and strings that end (a device
// string is at most 126 UTF-16 units, so a few hundred bytes in any code page).
void ExpectWholeTable(const HidDeviceTable& table) {
    ASSERT_LE(table.Count, VELMAR_TABLE_ENTRIES);
    for (int i = 0; i < table.Count; ++i) {
        const HidDeviceEntry& entry = table.Entries[i];
        for (const char* text : {entry.Manufacturer, entry.Product, entry.SerialNumber}) {
            if (text) {
                EXPECT_LT(strnlen(text, 512), 512u) << "entry " << i;
            }
        }
    }
}

TEST_F(DeviceRemoval, WalksStayWholeWhileDevicesComeAndGo) {
    const std::vector<RemovableDevice> devices = {{0x0004, 0}, {0x0004, 1}, {0x0005, 0}};
    ASSERT_TRUE(AddDevices(devices));
    struct Walks {
        volatile LONG stop;
        int rounds;
    };
    auto walks = std::make_shared<Walks>();
    walks->stop = 0;
    walks->rounds = 0;
    HANDLE thread = StartThread([walks] {
        static HidDeviceTable table;
        while (!walks->stop) {
            LoadedVelmar().HID_DeviceInfo(&table);
            ExpectWholeTable(table);
            LoadedVelmar().HID_DeviceTest(0x0004, kRemovableVendor, VELMAR_ANY_VERSION, 1);
            ++walks->rounds;
        }
    });
    for (int cycle = 0; cycle < 10; ++cycle) {
        for (const RemovableDevice& device : devices) {
            EXPECT_TRUE(RemoveDevice(device));
        }
        EXPECT_TRUE(AddDevices(devices));
    }
    InterlockedExchange(&walks->stop, 1);
    ASSERT_EQ(WaitForSingleObject(thread, ScaledBound(10000)), static_cast<DWORD>(WAIT_OBJECT_0))
        << "a walk did not return";
    CloseHandle(thread);
    std::printf("FIGURE|walks while devices came and went|%d rounds of HID_DeviceInfo and "
                "HID_DeviceTest over 10 cycles of 3 devices\n",
                walks->rounds);
    EXPECT_GT(walks->rounds, 10);
}

TEST_F(DeviceRemoval, SixteenDevicesAreAllFoundAndEachIndexPicksItsPlaceInTheList) {
    std::vector<RemovableDevice> devices;
    for (WORD product = 0x0010; product < 0x0014; ++product) {
        for (int instance = 0; instance < 4; ++instance) {
            devices.push_back({product, instance});
        }
    }
    ASSERT_TRUE(AddDevices(devices));
    const VelmarLibrary& velmar = LoadedVelmar();
    std::set<std::string> opened;
    for (WORD product = 0x0010; product < 0x0014; ++product) {
        const RemovableDevice any = {product, 0};
        const std::vector<std::string> listOrder = SerialsInListOrder(product);
        ASSERT_EQ(listOrder.size(), 4u) << product;
        for (int index = 0; index < 4; ++index) {
            EXPECT_TRUE(Found(any, index)) << product << " index " << index;
            HANDLE handle = Open(any, index);
            ASSERT_NE(handle, nullptr) << product << " index " << index;
            const std::string serial = velmar.HID_GetSerialNumberString(handle);
            EXPECT_EQ(serial, listOrder[index]) << "index " << index << " picks the interface "
                                                << "the system lists at that place";
            opened.insert(serial);
            velmar.HID_CloseDevice(handle);
        }
        EXPECT_FALSE(Found(any, 4));
        EXPECT_EQ(Open(any, 4), nullptr);
    }
    EXPECT_EQ(opened.size(), 16u) << "each index of a product picks another of its devices";

    static HidDeviceTable table;
    ASSERT_TRUE(velmar.HID_DeviceInfo(&table));
    ExpectWholeTable(table);
    std::set<std::string> listed;
    for (int i = 0; i < table.Count; ++i) {
        const HidDeviceEntry& entry = table.Entries[i];
        if (entry.VendorID == kRemovableVendor && entry.SerialNumber) {
            listed.insert(entry.SerialNumber);
        }
    }
    EXPECT_EQ(listed, opened);
}

TEST_F(DeviceRemoval, AHundredRemovalsWithAHandleOpenLeaveNothingBehind) {
    const RemovableDevice device = {0x0006, 0};
    ASSERT_TRUE(AddDevice(device));
    const VelmarLibrary& velmar = LoadedVelmar();
    const BYTE report[kRemovableOutputLength] = {0x00, 0x42};
    Footprint afterFirstCycles = {};
    const int kCycles = 100;
    const LARGE_INTEGER start = Now();
    double removing = 0;
    double adding = 0;
    for (int cycle = 1; cycle <= kCycles; ++cycle) {
        HANDLE handle = Open(device);
        ASSERT_NE(handle, nullptr) << "cycle " << cycle;
        ASSERT_EQ(velmar.HID_WriteDevice(handle, report, sizeof report), 7u) << "cycle " << cycle;
        const LARGE_INTEGER removal = Now();
        ASSERT_TRUE(RemoveDevice(device)) << "cycle " << cycle;
        const LARGE_INTEGER arrival = Now();
        ASSERT_TRUE(AddDevice(device)) << "cycle " << cycle;
        removing += Milliseconds(removal, arrival);
        adding += Milliseconds(arrival, Now());
        EXPECT_EQ(velmar.HID_WriteDevice(handle, report, sizeof report), 0u) << "cycle " << cycle;
        EXPECT_TRUE(velmar.HID_CloseDevice(handle)) << "cycle " << cycle;
        if (cycle == 10) {
            afterFirstCycles = libraryHeaps.Measure();
        }
    }
    const double elapsed = Milliseconds(start, Now());
    const Footprint after = libraryHeaps.Measure();
    std::printf("FIGURE|removal cycles|%d cycles in %.1f s (%.0f ms each: removal until the "
                "interface is gone %.0f ms, arrival until it is there %.0f ms)\n",
                kCycles, elapsed / 1000, elapsed / kCycles, removing / kCycles, adding / kCycles);
    std::printf("FIGURE|after cycle 10|%zu bytes in %d blocks of the library's heaps, "
                "%d handles\n",
                static_cast<size_t>(afterFirstCycles.libraryHeapBytes),
                afterFirstCycles.libraryHeapBlocks, afterFirstCycles.handles);
    std::printf("FIGURE|after cycle 100|%zu bytes in %d blocks of the library's heaps, "
                "%d handles\n",
                static_cast<size_t>(after.libraryHeapBytes), after.libraryHeapBlocks,
                after.handles);
    EXPECT_EQ(after.libraryHeapBytes, afterFirstCycles.libraryHeapBytes);
    EXPECT_EQ(after.libraryHeapBlocks, afterFirstCycles.libraryHeapBlocks);
    EXPECT_EQ(after.handles, afterFirstCycles.handles);
}

// The installer's --remove names the device and nothing else: a removal that also asked to
// install or configure would leave its meaning open, so it is refused.
TEST(InstallRequest, RemovalTakesOnlyTheDevicesIdentity) {
    InstallRequest request;
    std::wstring error;
    ASSERT_TRUE(ParseInstallRequest(
        {L"--vendor", L"1209", L"--remove", L"--product", L"0001", L"--instance", L"2"}, request,
        error));
    EXPECT_TRUE(request.remove);
    EXPECT_EQ(request.instanceId, L"ROOT\\VID_1209&PID_0001\\2");
    for (const std::vector<std::wstring>& refused :
         {std::vector<std::wstring>{L"--vendor", L"1209", L"--product", L"1", L"--remove", L"--inf",
                                    L"x.inf"},
          std::vector<std::wstring>{L"--remove", L"--vendor", L"1209", L"--product", L"1",
                                    L"--present", L"0"},
          std::vector<std::wstring>{L"--remove"}}) {
        InstallRequest ignored;
        EXPECT_FALSE(ParseInstallRequest(refused, ignored, error)) << refused.size();
    }
}

} // namespace
