#include "os_version_code.h"

#include <gtest/gtest.h>

namespace {

constexpr BYTE kWorkstation = VER_NT_WORKSTATION;
constexpr BYTE kServer = VER_NT_SERVER;
constexpr BYTE kDomainController = VER_NT_DOMAIN_CONTROLLER;

OsVersionReport Nt(DWORD major, DWORD minor, BYTE productType) {
    return {true, VER_PLATFORM_WIN32_NT, major, minor, true, productType};
}

OsVersionReport Windows9x(DWORD minor) {
    return {true, VER_PLATFORM_WIN32_WINDOWS, 4, minor, false, 0};
}

struct Row {
    const char* system;
    OsVersionReport report;
    int code;
};

const Row kRows[] = {
    {"Windows 95", Windows9x(0), 10},
    {"Windows 98", Windows9x(10), 30},
    {"Windows Me", Windows9x(90), 40},
    {"Windows 9x, unknown minor", Windows9x(5), 100},
    {"NT 3.51", Nt(3, 51, kWorkstation), 5},
    {"NT 3.51 server", Nt(3, 51, kServer), 5},
    {"NT 4.0", Nt(4, 0, kWorkstation), 20},
    {"NT 4.0 server", Nt(4, 0, kServer), 20},
    {"Windows 2000", Nt(5, 0, kWorkstation), 50},
    {"Windows 2000 server", Nt(5, 0, kServer), 50},
    {"Windows XP", Nt(5, 1, kWorkstation), 60},
    {"Windows XP, server product type", Nt(5, 1, kServer), 60},
    {"Windows XP x64", Nt(5, 2, kWorkstation), 60},
    {"Server 2003", Nt(5, 2, kServer), 65},
    {"Server 2003 domain controller", Nt(5, 2, kDomainController), 65},
    {"NT 5.3", Nt(5, 3, kWorkstation), 100},
    {"NT 5.3 server", Nt(5, 3, kServer), 100},
    {"Vista", Nt(6, 0, kWorkstation), 70},
    {"Server 2008", Nt(6, 0, kServer), 75},
    {"Windows 7", Nt(6, 1, kWorkstation), 80},
    {"Server 2008 R2", Nt(6, 1, kServer), 75},
    {"Windows 8", Nt(6, 2, kWorkstation), 100},
    {"Server 2012", Nt(6, 2, kServer), 100},
    {"Windows 10", Nt(10, 0, kWorkstation), 100},
    {"NT 2.0", Nt(2, 0, kWorkstation), 100},
};

TEST(OsVersionCode, EveryRowOfTheClassification) {
    for (const Row& row : kRows) {
        EXPECT_EQ(ClassifyOsVersion(row.report), row.code) << row.system;
    }
}

TEST(OsVersionCode, FailedQueriesAndUnknownPlatforms) {
    OsVersionReport failed = Nt(5, 1, kWorkstation);
    failed.basicQuerySucceeded = false;
    EXPECT_EQ(ClassifyOsVersion(failed), 100) << "the basic query failed";

    OsVersionReport win32s = Nt(5, 1, kWorkstation);
    win32s.dwPlatformId = VER_PLATFORM_WIN32s;
    EXPECT_EQ(ClassifyOsVersion(win32s), 100);
    win32s.dwPlatformId = 3; // Windows CE
    EXPECT_EQ(ClassifyOsVersion(win32s), 100);
}

// Without the extended answer a system is not known to be a workstation: the server
// column applies wherever the two columns differ.
TEST(OsVersionCode, FailedExtendedQueryCountsAsNoWorkstation) {
    auto withoutExtendedAnswer = [](DWORD major, DWORD minor) {
        OsVersionReport report = Nt(major, minor, kWorkstation);
        report.extendedQuerySucceeded = false;
        return ClassifyOsVersion(report);
    };
    EXPECT_EQ(withoutExtendedAnswer(5, 1), 60);
    EXPECT_EQ(withoutExtendedAnswer(5, 2), 65);
    EXPECT_EQ(withoutExtendedAnswer(6, 0), 75);
    EXPECT_EQ(withoutExtendedAnswer(6, 1), 75);
}

} // namespace
