// Finding devices: HID_DeviceTest and HID_OpenDevice against simulated worlds, checked by
// their results and by what reached the platform.
#include "record_sizes.h"
#include "support/handle_count.h"
#include "support/simulated_world.h"
#include "support/velmar_library.h"

#include "devsim.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr int kVendor = 0x04D8;
constexpr int kProduct = 0xF6F1;
constexpr int kAnyVersion = -1;

BOOL DeviceTest(int product, int vendor, int version, int index) {
    return Velmar().HID_DeviceTest(product, vendor, version, index);
}

HANDLE OpenDevice(int product, int vendor, int version, int index) {
    return Velmar().HID_OpenDevice(product, vendor, version, index);
}

std::string Enumerate(int memberIndex, const char* result) {
    return std::string("SetupDiEnumDeviceInterfaces(set:1, null, ") + kHidClass + ", " +
           std::to_string(memberIndex) +
           ", cbSize=" + std::to_string(kRecordSizes.deviceInterfaceData) + ") = " + result;
}

std::string SizeQuery(int memberIndex) {
    return "SetupDiGetDeviceInterfaceDetailA(set:1, if:" + std::to_string(memberIndex) +
           ", null, 0, ptr, null) = 0 error=122";
}

std::string DetailQuery(const SimulatedWorld& world, int memberIndex, const std::string& name) {
    const size_t requiredSize = 4 + world.DevicePath(name).size() + 1;
    return "SetupDiGetDeviceInterfaceDetailA(set:1, if:" + std::to_string(memberIndex) +
           ", cbSize=" + std::to_string(kRecordSizes.deviceInterfaceDetailDataA) + ", " +
           std::to_string(requiredSize) + ", ptr, null) = 1";
}

const std::string kClassDevs =
    std::string("SetupDiGetClassDevsA(") + kHidClass + ", null, null, 0x12) = set:1";

TEST(DeviceWalk, TestQueriesEveryInterfaceInOrderAndReleasesTheSet) {
    SimulatedWorld world("interface keyboard vid=045E pid=0750 open=query\n"
                         "interface board vid=04D8 pid=F6F1\n");
    EXPECT_FALSE(DeviceTest(0xF6F0, kVendor, kAnyVersion, 0));
    EXPECT_THAT(world.Journal(),
                ElementsAre("HidD_GetHidGuid(ptr)", kClassDevs, Enumerate(0, "1"), SizeQuery(0),
                            DetailQuery(world, 0, "keyboard"),
                            "HidD_GetAttributes(dev:keyboard, Size=10) = 1", Enumerate(1, "1"),
                            SizeQuery(1), DetailQuery(world, 1, "board"),
                            "HidD_GetAttributes(dev:board, Size=10) = 1",
                            Enumerate(2, "0 error=259"),
                            "SetupDiDestroyDeviceInfoList(set:1) = 1"));
}

// The keyboard opens for query only, so the open never reaches its attributes.
TEST(DeviceWalk, OpenStopsAtTheMatchAndSkipsWhatDoesNotOpenForReadWrite) {
    SimulatedWorld world("interface keyboard vid=04D8 pid=F6F1 open=query\n"
                         "interface board vid=04D8 pid=F6F1\n"
                         "interface later vid=04D8 pid=F6F1\n");
    HANDLE device = OpenDevice(kProduct, kVendor, kAnyVersion, 0);
    ASSERT_NE(device, nullptr);
    EXPECT_TRUE(world.HandleRefersTo(device, "board"));
    EXPECT_THAT(world.Journal(),
                ElementsAre("HidD_GetHidGuid(ptr)", kClassDevs, Enumerate(0, "1"), SizeQuery(0),
                            DetailQuery(world, 0, "keyboard"), Enumerate(1, "1"), SizeQuery(1),
                            DetailQuery(world, 1, "board"),
                            "HidD_GetAttributes(dev:board, Size=10) = 1",
                            "SetupDiDestroyDeviceInfoList(set:1) = 1"));
    DWORD flags = 0;
    ASSERT_TRUE(GetHandleInformation(device, &flags));
    EXPECT_TRUE(flags & HANDLE_FLAG_INHERIT) << "the handle is inheritable by child processes";
    CloseHandle(device);
}

TEST(DeviceWalk, TheSetIsReleasedOnEveryPath) {
    {
        SimulatedWorld world("interface a vid=04D8 pid=F6F1\ninterface b vid=04D8 pid=F6F1\n");
        EXPECT_TRUE(DeviceTest(kProduct, kVendor, kAnyVersion, 0));
        EXPECT_FALSE(DeviceTest(0x1111, kVendor, kAnyVersion, 0));
        CloseHandle(OpenDevice(kProduct, kVendor, kAnyVersion, 1));
        EXPECT_EQ(OpenDevice(0x1111, kVendor, kAnyVersion, 0), nullptr);
        EXPECT_EQ(world.JournalOf("SetupDiGetClassDevsA").size(), 4u);
        EXPECT_EQ(world.JournalOf("SetupDiDestroyDeviceInfoList").size(), 4u);
        EXPECT_EQ(DevSim_LiveDeviceInfoSets(), 0);
    }
    {
        SimulatedWorld world("world classdevs=invalid\ninterface a vid=04D8 pid=F6F1\n");
        EXPECT_FALSE(DeviceTest(kProduct, kVendor, kAnyVersion, 0));
        EXPECT_EQ(OpenDevice(kProduct, kVendor, kAnyVersion, 0), nullptr);
        // INVALID_HANDLE_VALUE, all ones at the pointer's width.
        const std::string destroyInvalid = "SetupDiDestroyDeviceInfoList(0x" +
                                           std::string(2 * sizeof(HANDLE), 'f') + ") = 0 error=6";
        EXPECT_THAT(world.JournalOf("SetupDiDestroyDeviceInfoList"),
                    ElementsAre(destroyInvalid, destroyInvalid));
        EXPECT_THAT(world.JournalOf("HidD_GetAttributes"), IsEmpty());
    }
    {
        SimulatedWorld world("world classdevs=null\ninterface a vid=04D8 pid=F6F1\n");
        EXPECT_FALSE(DeviceTest(kProduct, kVendor, kAnyVersion, 0));
        EXPECT_EQ(OpenDevice(kProduct, kVendor, kAnyVersion, 0), nullptr);
        EXPECT_THAT(world.JournalOf("SetupDiEnumDeviceInterfaces"), IsEmpty());
        EXPECT_THAT(world.JournalOf("SetupDiDestroyDeviceInfoList"), IsEmpty());
    }
}

std::string WorldWithTargetAt(int memberIndex, int interfaceCount) {
    std::string text;
    for (int i = 0; i < interfaceCount; ++i) {
        text += "interface i" + std::to_string(i) +
                (i == memberIndex ? " vid=04D8 pid=F6F1\n" : " vid=1234 pid=0001\n");
    }
    return text;
}

TEST(DeviceWalk, VisitsAtMost256Interfaces) {
    {
        SimulatedWorld world(WorldWithTargetAt(255, 300));
        EXPECT_TRUE(DeviceTest(kProduct, kVendor, kAnyVersion, 0));
    }
    SimulatedWorld world(WorldWithTargetAt(256, 300));
    EXPECT_FALSE(DeviceTest(kProduct, kVendor, kAnyVersion, 0));
    EXPECT_EQ(OpenDevice(kProduct, kVendor, kAnyVersion, 0), nullptr);
    const auto enumerations = world.JournalOf("SetupDiEnumDeviceInterfaces");
    ASSERT_EQ(enumerations.size(), 2 * 256u);
    EXPECT_EQ(enumerations[255], Enumerate(255, "1"));
    EXPECT_EQ(world.JournalOf("SetupDiDestroyDeviceInfoList").size(), 2u);
}

TEST(DeviceMatch, OnlyTheLow16BitsOfEachArgumentCount) {
    SimulatedWorld world("interface a vid=04D8 pid=F6F1 version=0100\n");
    EXPECT_TRUE(DeviceTest(0xABCDF6F1, 0x123404D8, 0x5555FFFF, 0x77770000));
    EXPECT_TRUE(DeviceTest(kProduct, kVendor, 0x00010100, 0));
    EXPECT_FALSE(DeviceTest(0x0001F6F0, kVendor, kAnyVersion, 0));
    HANDLE device = OpenDevice(0xABCDF6F1, 0x123404D8, 0x5555FFFF, 0x77770000);
    EXPECT_TRUE(world.HandleRefersTo(device, "a"));
    CloseHandle(device);
}

TEST(DeviceMatch, VersionMinusOneMatchesEveryVersionAndAnyOtherOnlyItself) {
    SimulatedWorld world("interface old vid=04D8 pid=F6F1 version=0100\n"
                         "interface new vid=04D8 pid=F6F1 version=0200\n");
    EXPECT_TRUE(DeviceTest(kProduct, kVendor, 0x0200, 0));
    EXPECT_FALSE(DeviceTest(kProduct, kVendor, 0x0200, 1));
    EXPECT_FALSE(DeviceTest(kProduct, kVendor, 0x0300, 0));
    EXPECT_TRUE(DeviceTest(kProduct, kVendor, kAnyVersion, 1));
    HANDLE device = OpenDevice(kProduct, kVendor, 0x0200, 0);
    EXPECT_TRUE(world.HandleRefersTo(device, "new"));
    CloseHandle(device);
}

TEST(DeviceMatch, VendorAndProductMustBothMatch) {
    SimulatedWorld world("interface swapped vid=F6F1 pid=04D8\n"
                         "interface other_vendor vid=04D9 pid=F6F1\n");
    EXPECT_FALSE(DeviceTest(kProduct, kVendor, kAnyVersion, 0));
    EXPECT_TRUE(DeviceTest(kVendor, kProduct, kAnyVersion, 0)) << "product comes first";
}

TEST(MatchOrdinal, IndexCountsMatchingInterfacesInWalkOrder) {
    SimulatedWorld world("interface first vid=04D8 pid=F6F1\n"
                         "interface stranger vid=04D8 pid=F6F0\n"
                         "interface second vid=04D8 pid=F6F1\n");
    EXPECT_TRUE(DeviceTest(kProduct, kVendor, kAnyVersion, 0));
    EXPECT_TRUE(DeviceTest(kProduct, kVendor, kAnyVersion, 1));
    EXPECT_FALSE(DeviceTest(kProduct, kVendor, kAnyVersion, 2));

    HANDLE first = OpenDevice(kProduct, kVendor, kAnyVersion, 0);
    HANDLE second = OpenDevice(kProduct, kVendor, kAnyVersion, 1);
    EXPECT_TRUE(world.HandleRefersTo(first, "first"));
    EXPECT_TRUE(world.HandleRefersTo(second, "second"));
    EXPECT_EQ(OpenDevice(kProduct, kVendor, kAnyVersion, 2), nullptr);
    CloseHandle(first);
    CloseHandle(second);
}

TEST(MatchOrdinal, NegativeIndexFindsAnyMatchForTestButNothingForOpen) {
    SimulatedWorld world("interface stranger vid=1234 pid=0001\n"
                         "interface a vid=04D8 pid=F6F1\n"
                         "interface b vid=04D8 pid=F6F1\n");
    EXPECT_TRUE(DeviceTest(kProduct, kVendor, kAnyVersion, -1));
    EXPECT_TRUE(DeviceTest(kProduct, kVendor, kAnyVersion, 0x8000));
    EXPECT_FALSE(DeviceTest(0xF6F0, kVendor, kAnyVersion, -1));
    EXPECT_EQ(OpenDevice(kProduct, kVendor, kAnyVersion, -1), nullptr);
    // The test ends at the first match; the open walks everything in vain.
    world.ClearJournal();
    DeviceTest(kProduct, kVendor, kAnyVersion, -1);
    EXPECT_EQ(world.JournalOf("HidD_GetAttributes").size(), 2u);
}

// Keyboards and mice open for query but not for reading and writing: the test counts
// them, the open cannot, so one Index can name different interfaces in the two.
TEST(MatchOrdinal, QueryOnlyInterfacesCountForTestButNotForOpen) {
    SimulatedWorld world("interface guarded vid=04D8 pid=F6F1 open=query\n"
                         "interface free vid=04D8 pid=F6F1\n");
    EXPECT_TRUE(DeviceTest(kProduct, kVendor, kAnyVersion, 1));
    HANDLE device = OpenDevice(kProduct, kVendor, kAnyVersion, 0);
    EXPECT_TRUE(world.HandleRefersTo(device, "free"));
    EXPECT_EQ(OpenDevice(kProduct, kVendor, kAnyVersion, 1), nullptr);
    CloseHandle(device);
}

TEST(MatchOrdinal, InterfacesThatDoNotOpenAreNotCounted) {
    SimulatedWorld world("interface gone vid=04D8 pid=F6F1 open=absent\n"
                         "interface here vid=04D8 pid=F6F1\n");
    EXPECT_TRUE(DeviceTest(kProduct, kVendor, kAnyVersion, 0));
    EXPECT_FALSE(DeviceTest(kProduct, kVendor, kAnyVersion, 1));
    HANDLE device = OpenDevice(kProduct, kVendor, kAnyVersion, 0);
    EXPECT_TRUE(world.HandleRefersTo(device, "here"));
    CloseHandle(device);
    EXPECT_THAT(world.JournalOf("HidD_GetAttributes"),
                ElementsAre("HidD_GetAttributes(dev:here, Size=10) = 1",
                            "HidD_GetAttributes(dev:here, Size=10) = 1",
                            "HidD_GetAttributes(dev:here, Size=10) = 1"));
}

// A failed attributes query leaves the record as it was; matching on that would take the
// interface for the one before it and could send a command to the wrong device.
TEST(MatchOrdinal, AnInterfaceWhoseAttributesCannotBeReadNeverMatches) {
    SimulatedWorld world("interface real vid=04D8 pid=F6F1\n"
                         "interface mute vid=04D8 pid=F6F1 fail=HidD_GetAttributes\n"
                         "interface blank fail=HidD_GetAttributes\n");
    EXPECT_TRUE(DeviceTest(kProduct, kVendor, kAnyVersion, 0));
    EXPECT_FALSE(DeviceTest(kProduct, kVendor, kAnyVersion, 1));
    EXPECT_EQ(OpenDevice(kProduct, kVendor, kAnyVersion, 1), nullptr);
    EXPECT_FALSE(DeviceTest(0, 0, kAnyVersion, 0)) << "nor does it match a request for 0000:0000";
    EXPECT_EQ(OpenDevice(0, 0, 0, 0), nullptr);
}

TEST(MatchOrdinal, AnInterfaceWhosePathCannotBeLearnedIsSkipped) {
    SimulatedWorld world(
        "interface hidden vid=04D8 pid=F6F1 fail=SetupDiGetDeviceInterfaceDetailA\n"
        "interface shown vid=04D8 pid=F6F1\n"
        "interface hidden_too vid=04D8 pid=F6F1 fail=SetupDiGetDeviceInterfaceDetailA\n");
    EXPECT_TRUE(DeviceTest(kProduct, kVendor, kAnyVersion, 0));
    EXPECT_FALSE(DeviceTest(kProduct, kVendor, kAnyVersion, 1));
    HANDLE device = OpenDevice(kProduct, kVendor, kAnyVersion, 0);
    EXPECT_TRUE(world.HandleRefersTo(device, "shown"));
    EXPECT_EQ(OpenDevice(kProduct, kVendor, kAnyVersion, 1), nullptr);
    CloseHandle(device);
}

TEST(DeviceHandles, NoWalkLeavesAHandleOpenButTheOneItReturns) {
    SimulatedWorld world("interface keyboard vid=04D8 pid=F6F1 open=query\n"
                         "interface gone vid=04D8 pid=F6F1 open=absent\n"
                         "interface mute vid=04D8 pid=F6F1 fail=HidD_GetAttributes\n"
                         "interface a vid=04D8 pid=F6F1\n"
                         "interface b vid=04D8 pid=F6F1\n");
    const int before = CountOpenHandles();
    for (int index : {-1, 0, 1, 2, 3}) {
        DeviceTest(kProduct, kVendor, kAnyVersion, index);
        DeviceTest(0xF6F0, kVendor, kAnyVersion, index);
        EXPECT_EQ(CountOpenHandles(), before) << "HID_DeviceTest, index " << index;
        EXPECT_EQ(OpenDevice(0xF6F0, kVendor, kAnyVersion, index), nullptr);
        EXPECT_EQ(CountOpenHandles(), before) << "HID_OpenDevice of nothing, index " << index;
    }
    HANDLE device = OpenDevice(kProduct, kVendor, kAnyVersion, 1);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(CountOpenHandles(), before + 1);
    CloseHandle(device);
    EXPECT_EQ(CountOpenHandles(), before);
}

TEST(LibraryFrame, ThreadNotificationsChangeNothing) {
    SimulatedWorld world("interface a vid=04D8 pid=F6F1\n");
    std::thread([] {}).join();
    std::thread([] { EXPECT_TRUE(DeviceTest(kProduct, kVendor, kAnyVersion, 0)); }).join();
    EXPECT_TRUE(DeviceTest(kProduct, kVendor, kAnyVersion, 0));
}

} // namespace
