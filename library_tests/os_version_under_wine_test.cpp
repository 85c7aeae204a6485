// Runs under several program names; the test prefix has Wine report a different Windows
// version to each, and the library's classification must follow what the platform says.
#include "os_version_code.h"

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

} // namespace
