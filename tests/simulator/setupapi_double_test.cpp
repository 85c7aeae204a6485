// The interface walk through setupapi.dll: a double that accepted what the platform refuses
// would let a faulty caller pass its tests.
#include "platform_doubles.h"
#include "test_support.h"

#include "devsim.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct InterfaceSet {
    HDEVINFO set;
    explicit InterfaceSet(const GUID* guid = &kHidClass, DWORD flags = kPresentInterfaces)
        : set(Doubles().SetupDiGetClassDevsA(guid, nullptr, nullptr, flags)) {}
    ~InterfaceSet() { Doubles().SetupDiDestroyDeviceInfoList(set); }

    BOOL Enumerate(DWORD index, SP_DEVICE_INTERFACE_DATA& data) const {
        return Doubles().SetupDiEnumDeviceInterfaces(set, nullptr, &kHidClass, index, &data);
    }
    SP_DEVICE_INTERFACE_DATA Member(DWORD index) const {
        SP_DEVICE_INTERFACE_DATA data = {sizeof data, {}, 0, 0};
        EXPECT_TRUE(Enumerate(index, data));
        return data;
    }
    BOOL Detail(SP_DEVICE_INTERFACE_DATA& data, void* detail, DWORD size, DWORD* required) {
        return Doubles().SetupDiGetDeviceInterfaceDetailA(
            set, &data, static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(detail), size, required,
            nullptr);
    }
};

TEST(SetupApiDouble, ListsEveryInterfaceInOrderThenNoMoreItems) {
    std::string world;
    for (int i = 0; i < 320; ++i) {
        world += "interface d" + std::to_string(i) + "\n";
    }
    LoadWorld(world);
    InterfaceSet interfaces(&kHidClass, DIGCF_DEVICEINTERFACE); // without DIGCF_PRESENT too
    SP_DEVICE_INTERFACE_DATA data = interfaces.Member(319);
    EXPECT_EQ(data.Flags, static_cast<DWORD>(SPINT_ACTIVE));
    EXPECT_TRUE(IsEqualGUID(data.InterfaceClassGuid, kHidClass));
    char buffer[MAX_PATH] = {};
    reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer)->cbSize =
        kRecordSizes.deviceInterfaceDetailDataA;
    ASSERT_TRUE(interfaces.Detail(data, buffer, sizeof buffer, nullptr));
    EXPECT_EQ(std::string(buffer + 4), devsim::DevicePath("d319"));
    EXPECT_FALSE(interfaces.Enumerate(320, data));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_NO_MORE_ITEMS});
}

TEST(SetupApiDouble, OtherClassesAndSetsWithoutInterfacesAreEmpty) {
    LoadWorld("interface a\n");
    const GUID other = {1, 2, 3, {4}};
    SP_DEVICE_INTERFACE_DATA data = {sizeof data, {}, 0, 0};
    const InterfaceSet otherClass(&other);
    const InterfaceSet withoutInterfaces(&kHidClass, DIGCF_PRESENT);
    for (const InterfaceSet* empty : {&otherClass, &withoutInterfaces}) {
        EXPECT_FALSE(empty->Enumerate(0, data));
        EXPECT_EQ(GetLastError(), DWORD{ERROR_NO_MORE_ITEMS});
    }
    EXPECT_EQ(Doubles().SetupDiGetClassDevsA(nullptr, nullptr, nullptr, kPresentInterfaces),
              INVALID_HANDLE_VALUE)
        << "no class and no DIGCF_ALLCLASSES";
}

TEST(SetupApiDouble, SetsAreCheckedAndCountedUntilDestroyedOnce) {
    LoadWorld("interface a\n");
    HDEVINFO set = Doubles().SetupDiGetClassDevsA(&kHidClass, nullptr, nullptr, 0x12);
    EXPECT_EQ(DevSim_LiveDeviceInfoSets(), 1);
    SP_DEVICE_INTERFACE_DATA data = {sizeof data + 4, {}, 0, 0};
    EXPECT_FALSE(Doubles().SetupDiEnumDeviceInterfaces(set, nullptr, &kHidClass, 0, &data));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_USER_BUFFER});
    EXPECT_TRUE(Doubles().SetupDiDestroyDeviceInfoList(set));
    EXPECT_FALSE(Doubles().SetupDiDestroyDeviceInfoList(set));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
    data.cbSize = sizeof data;
    EXPECT_FALSE(Doubles().SetupDiEnumDeviceInterfaces(set, nullptr, &kHidClass, 0, &data));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
    EXPECT_EQ(DevSim_LiveDeviceInfoSets(), 0);
}

TEST(SetupApiDouble, ClassDevsFailsAsTheWorldSays) {
    LoadWorld("world classdevs=null\ninterface a\n");
    EXPECT_EQ(Doubles().SetupDiGetClassDevsA(&kHidClass, nullptr, nullptr, 0x12), nullptr);
    EXPECT_NE(GetLastError(), 0u);
    LoadWorld("world classdevs=invalid\ninterface a\n");
    EXPECT_EQ(Doubles().SetupDiGetClassDevsA(&kHidClass, nullptr, nullptr, 0x12),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(DevSim_LiveDeviceInfoSets(), 0);
}

TEST(SetupApiDouble, DetailAnswersTheSizeQueryThenChecksTheBuffer) {
    LoadWorld("interface device\n");
    InterfaceSet interfaces;
    SP_DEVICE_INTERFACE_DATA data = interfaces.Member(0);
    const std::string path = devsim::DevicePath("device");
    DWORD required = 0;
    EXPECT_FALSE(interfaces.Detail(data, nullptr, 0, &required));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INSUFFICIENT_BUFFER});
    EXPECT_EQ(required, 4 + path.size() + 1);

    std::vector<char> buffer(required + 1, '?');
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
    EXPECT_FALSE(interfaces.Detail(data, nullptr, required, nullptr));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_USER_BUFFER});
    // The other architecture's sizes are as wrong as any.
    const PlatformRecordSizes& other = sizeof(void*) == 8 ? kX86RecordSizes : kX64RecordSizes;
    detail->cbSize = other.deviceInterfaceDetailDataA;
    EXPECT_FALSE(interfaces.Detail(data, detail, required, nullptr));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_USER_BUFFER});
    detail->cbSize = kRecordSizes.deviceInterfaceDetailDataA;
    EXPECT_FALSE(interfaces.Detail(data, detail, required - 1, nullptr));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INSUFFICIENT_BUFFER});
    data.cbSize = other.deviceInterfaceData;
    EXPECT_FALSE(interfaces.Detail(data, detail, required, nullptr));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
    data.cbSize = sizeof data;
    EXPECT_TRUE(interfaces.Detail(data, detail, required, nullptr));
    EXPECT_EQ(std::string(detail->DevicePath), path);
    EXPECT_EQ(buffer[required], '?');
}

TEST(SetupApiDouble, AnInjectedDetailFaultFailsBothQueriesWritingNothing) {
    LoadWorld("interface a fail=SetupDiGetDeviceInterfaceDetailA\n");
    InterfaceSet interfaces;
    SP_DEVICE_INTERFACE_DATA data = interfaces.Member(0);
    DWORD required = 7;
    EXPECT_FALSE(interfaces.Detail(data, nullptr, 0, &required));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
    EXPECT_EQ(required, 7u);
    char buffer[MAX_PATH] = {5};
    EXPECT_FALSE(interfaces.Detail(data, buffer, sizeof buffer, &required));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
    EXPECT_EQ(buffer[4], 0);
}

} // namespace
