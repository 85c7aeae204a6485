// Runs under several program names; the test prefix has Wine report a different Windows
// version to each. The classification must follow what the platform says, and with it the
// input- and output-report requests, which Windows 2000 and older do not offer.
#include "os_version_code.h"
#include "support/simulated_world.h"
#include "support/velmar_library.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct NamedSystem {
    const char* program;
    int code;
};

// Windows 10 answers 6.2 to a program that does not declare itself compatible, and so
// does Wine. (Wine 8's "win7" and "win2008r2" report each other's product type, so 6.1 is
// left to the classification table test.)
const NamedSystem kSystems[] = {
    {"version_win2k.exe", 50}, {"version_winxp.exe", 60},   {"version_win2003.exe", 65},
    {"version_vista.exe", 70}, {"version_win2008.exe", 75}, {"version_win10.exe", 100},
};

int ExpectedCodeForThisProgram() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    const char* name = std::strrchr(path, '\\');
    name = name ? name + 1 : path;
    for (const NamedSystem& system : kSystems) {
        if (_stricmp(name, system.program) == 0) {
            return system.code;
        }
    }
    ADD_FAILURE() << "no Windows version is set up for " << name;
    return -1;
}

TEST(OsVersionCodeUnderWine, FollowsTheVersionThePlatformReports) {
    EXPECT_EQ(ReadOsVersionCode(), ExpectedCodeForThisProgram());
}

TEST(OsVersionCodeUnderWine, InputAndOutputReportsFollowTheVersionFeatureReportsDoNot) {
    SimulatedWorld world("interface a input_data=00AB feature_data=00CD\n");
    const bool offered = ExpectedCodeForThisProgram() >= 60;
    HANDLE device = Velmar().HID_OpenDevice(0, 0, -1, 0);
    ASSERT_NE(device, nullptr);
    unsigned char report[2] = {};
    EXPECT_EQ(Velmar().HID_GetInputReport(device, report, 2) != FALSE, offered);
    EXPECT_EQ(Velmar().HID_SetOutputReport(device, report, 2) != FALSE, offered);
    EXPECT_EQ(world.JournalOf("HidD_GetInputReport").size(), offered ? 1u : 0u);
    EXPECT_EQ(world.JournalOf("HidD_SetOutputReport").size(), offered ? 1u : 0u);
    EXPECT_TRUE(Velmar().HID_GetFeature(device, report, 2));
    EXPECT_EQ(report[1], 0xCD);
    EXPECT_TRUE(Velmar().HID_SetFeature(device, report, 2));
    Velmar().HID_CloseDevice(device);
}

} // namespace
