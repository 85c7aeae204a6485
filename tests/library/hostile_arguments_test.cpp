// Every export against arguments a careless or hostile caller might pass: nothing may
// crash, every refused call returns the export's failure result without reaching the
// platform, and nothing is written outside the memory the caller handed over.
#include "support/simulated_world.h"
#include "support/velmar_library.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr unsigned char kGuard = 0xE7;
constexpr int kBufferSize = 64;

int casesRun = 0;

// A page-aligned region: a report buffer whose end touches an inaccessible page, a
// read-only page, and an ordinary buffer with guard bytes on both sides.
class HostileMemory {
public:
    HostileMemory() {
        SYSTEM_INFO system;
        GetSystemInfo(&system);
        page_ = system.dwPageSize;
        base_ = static_cast<unsigned char*>(
            VirtualAlloc(nullptr, 3 * page_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        VirtualProtect(base_ + page_, page_, PAGE_NOACCESS, &old);
        VirtualProtect(base_ + 2 * page_, page_, PAGE_READONLY, &old);
        std::memset(guarded_, kGuard, sizeof guarded_);
    }
    ~HostileMemory() { VirtualFree(base_, 0, MEM_RELEASE); }

    // Four usable bytes, then a page that faults.
    unsigned char* Short() { return base_ + page_ - 4; }
    unsigned char* ReadOnly() { return base_ + 2 * page_; }
    unsigned char* Guarded() { return guarded_ + kBufferSize; }
    bool GuardsIntact() const {
        for (int i = 0; i < kBufferSize; ++i) {
            if (guarded_[i] != kGuard || guarded_[2 * kBufferSize + i] != kGuard) {
                return false;
            }
        }
        return true;
    }

private:
    DWORD page_;
    unsigned char* base_;
    unsigned char guarded_[3 * kBufferSize];
};

struct HandleCase {
    const char* name;
    HANDLE handle;
    bool takesWrites; // the platform's WriteFile succeeds on it
};

struct HostileHandles {
    std::vector<HandleCase> all;
    std::vector<HANDLE> owned;

    HostileHandles() {
        all = {{"null", nullptr, false},
               {"-1", INVALID_HANDLE_VALUE, false},
               {"4", reinterpret_cast<HANDLE>(4), false},
               {"0x40", reinterpret_cast<HANDLE>(0x40), false},
               {"0xFFFF0", reinterpret_cast<HANDLE>(0xFFFF0), false}};
        HANDLE closed = Velmar().HID_OpenDevice(0xF6F1, 0x04D8, -1, 0);
        CloseHandle(closed);
        all.push_back({"a closed device handle", closed, false});
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        HANDLE file = CreateFileA((std::string(temp) + "velmar-hostile.bin").c_str(), GENERIC_READ,
                                  0, nullptr, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        Own("a plain file, read-only", file, false);
        Own("an event", CreateEventA(nullptr, TRUE, FALSE, nullptr), false);
        HANDLE readEnd = nullptr, writeEnd = nullptr;
        CreatePipe(&readEnd, &writeEnd, nullptr, 0);
        owned.push_back(readEnd);
        // Only the write end: a read from an empty pipe would wait for ever.
        Own("the write end of an unrelated pipe", writeEnd, true);
    }
    ~HostileHandles() {
        for (HANDLE handle : owned) {
            CloseHandle(handle);
        }
    }
    void Own(const char* name, HANDLE handle, bool takesWrites) {
        all.push_back({name, handle, takesWrites});
        owned.push_back(handle);
    }
};

const int kLengths[] = {0, -1, INT_MIN, 1, kBufferSize, INT_MAX};

// A report export given a hostile handle, and any buffer and length: the guard refuses
// what it must; what passes the guard is up to the platform, which fails here (none of
// these handles is a device), except that a pipe takes a write of readable bytes.
template <typename Export>
void SweepReportExport(const char* name, Export call, bool writes,
                       const std::vector<HandleCase>& handles, HostileMemory& memory,
                       const SimulatedWorld& world) {
    unsigned char* buffers[] = {nullptr, memory.Short(), memory.ReadOnly(), memory.Guarded()};
    for (const HandleCase& handle : handles) {
        for (unsigned char* buffer : buffers) {
            for (int length : kLengths) {
                world.ClearJournal();
                const bool refused = !handle.handle || !buffer || length <= 0;
                const DWORD result = call(handle.handle, buffer, length);
                ++casesRun;
                if (writes && handle.takesWrites && !refused) {
                    EXPECT_LE(result, static_cast<DWORD>(length))
                        << name << " with " << handle.name;
                } else {
                    EXPECT_EQ(result, 0u)
                        << name << " with " << handle.name << ", length " << length;
                }
                if (refused) {
                    EXPECT_EQ(world.Journal().size(), 0u)
                        << name << ": refused yet reached the platform";
                }
            }
        }
    }
}

TEST(HostileArguments, NoExportCrashesOrWritesOutsideWhatItWasGiven) {
    SimulatedWorld world("interface a vid=04D8 pid=F6F1 manufacturer=\"M\" feature_data=0102 "
                         "input_data=0304 input=8\n");
    HostileMemory memory;
    HostileHandles handles;
    const VelmarLibrary& v = Velmar();

    SweepReportExport("HID_WriteDevice", v.HID_WriteDevice, true, handles.all, memory, world);
    SweepReportExport("HID_ReadDevice", v.HID_ReadDevice, false, handles.all, memory, world);
    SweepReportExport("HID_GetFeature", v.HID_GetFeature, false, handles.all, memory, world);
    SweepReportExport("HID_SetFeature", v.HID_SetFeature, false, handles.all, memory, world);
    SweepReportExport("HID_GetInputReport", v.HID_GetInputReport, false, handles.all, memory,
                      world);
    SweepReportExport("HID_SetOutputReport", v.HID_SetOutputReport, false, handles.all, memory,
                      world);

    unsigned char caps[64];
    for (const HandleCase& handle : handles.all) {
        EXPECT_EQ(v.HID_GetCaps(handle.handle, reinterpret_cast<_HIDP_CAPS*>(caps)), FALSE)
            << handle.name;
        EXPECT_EQ(v.HID_GetCaps(handle.handle, nullptr), FALSE) << handle.name;
        EXPECT_EQ(v.HID_GetNumInputBuffers(handle.handle), 0u) << handle.name;
        for (const char* text :
             {v.HID_GetManufacturerString(handle.handle), v.HID_GetProductString(handle.handle),
              v.HID_GetSerialNumberString(handle.handle),
              v.HID_GetIndexedString(handle.handle, 0xFFFFFFFF)}) {
            ASSERT_NE(text, nullptr) << handle.name;
            EXPECT_STREQ(text, "") << handle.name;
        }
        casesRun += 7;
    }
    EXPECT_EQ(v.HID_CloseDevice(nullptr), FALSE);
    EXPECT_EQ(v.HID_CloseDevice(reinterpret_cast<HANDLE>(0xFFFF0)), FALSE);
    // -1 is the platform's name for the calling process; closing it is a no-op that
    // succeeds, and the export passes the platform's answer on.
    v.HID_CloseDevice(INVALID_HANDLE_VALUE);
    casesRun += 3;
    EXPECT_TRUE(memory.GuardsIntact());
}

// A real device with buffers too short for the length, or read-only: the platform refuses
// them; nothing beyond the first bytes may change.
TEST(HostileArguments, ARealDeviceWithBuffersThatCannotHoldTheLength) {
    SimulatedWorld world("interface a vid=04D8 pid=F6F1 feature_data=0102030405060708 "
                         "input_data=0102030405060708 read_data=0102030405060708\n");
    HostileMemory memory;
    const VelmarLibrary& v = Velmar();
    HANDLE device = v.HID_OpenDevice(0xF6F1, 0x04D8, -1, 0);
    ASSERT_NE(device, nullptr);
    for (int length : {kBufferSize, INT_MAX}) {
        EXPECT_EQ(v.HID_GetFeature(device, memory.Short(), length), FALSE);
        EXPECT_EQ(v.HID_GetInputReport(device, memory.Short(), length), FALSE);
        EXPECT_EQ(v.HID_SetFeature(device, memory.Short(), length), FALSE);
        EXPECT_EQ(v.HID_GetFeature(device, memory.ReadOnly(), length), FALSE);
        EXPECT_EQ(v.HID_ReadDevice(device, memory.ReadOnly(), length), 0u);
        casesRun += 5;
    }
    EXPECT_EQ(memory.ReadOnly()[0], 0) << "read-only memory unchanged";
    unsigned char* report = memory.Guarded();
    EXPECT_EQ(v.HID_GetFeature(device, report, 4), TRUE);
    EXPECT_EQ(report[3], 4);
    EXPECT_EQ(v.HID_ReadDevice(device, report, 4), 4u);
    EXPECT_TRUE(memory.GuardsIntact()) << "nothing beyond the given length";
    casesRun += 2;
    v.HID_CloseDevice(device);
}

TEST(HostileArguments, IdentitiesAndTables) {
    SimulatedWorld world("interface a vid=04D8 pid=F6F1 version=0100 product=\"P\"\n");
    const VelmarLibrary& v = Velmar();
    const int identities[] = {0, -1, INT_MIN, INT_MAX, 0x7FFF, 0x8000, 0x10000, 0xFFFF};
    for (int a : identities) {
        for (int b : identities) {
            EXPECT_EQ(v.HID_DeviceTest(a, b, a ^ b, b), FALSE);
            EXPECT_EQ(v.HID_OpenDevice(b, a, b, a), nullptr);
            casesRun += 2;
        }
    }
    EXPECT_EQ(v.HID_DeviceInfo(nullptr), FALSE);
    struct Guarded {
        unsigned char before[32];
        HidDeviceTable table;
        unsigned char after[32];
    };
    static Guarded guarded;
    std::memset(&guarded, kGuard, sizeof guarded);
    std::memset(&guarded.table, 0, sizeof guarded.table);
    EXPECT_EQ(v.HID_DeviceInfo(&guarded.table), TRUE);
    EXPECT_EQ(v.HID_DeviceInfo(&guarded.table), TRUE) << "refilled";
    EXPECT_STREQ(guarded.table.Entries[0].Product, "P");
    for (size_t i = 0; i < sizeof guarded.before; ++i) {
        EXPECT_EQ(guarded.before[i], kGuard);
        EXPECT_EQ(guarded.after[i], kGuard);
    }
    casesRun += 3;
}

// Says how many calls the sweep made once every test has run (a crash ends the program
// before it, so the line also says that none crashed).
class CallCount : public testing::Environment {
public:
    void TearDown() override { std::printf("%d hostile calls made, none crashed\n", casesRun); }
};
const testing::Environment* const callCount = testing::AddGlobalTestEnvironment(new CallCount);

} // namespace
