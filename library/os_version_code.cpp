#include "os_version_code.h"

namespace {

constexpr DWORD kPlatformWindows9x = VER_PLATFORM_WIN32_WINDOWS;
constexpr DWORD kPlatformNt = VER_PLATFORM_WIN32_NT;

int osVersionCode;

int ClassifyWindows9x(DWORD minor) {
    switch (minor) {
    case 0:
        return 10; // Windows 95
    case 10:
        return 30; // Windows 98
    case 90:
        return 40; // Windows Me
    default:
        return kOsVersionCodeUnknown;
    }
}

int ClassifyNt(DWORD major, DWORD minor, bool workstation) {
    switch (major) {
    case 3:
        return 5;
    case 4:
        return 20;
    case 5:
        switch (minor) {
        case 0:
            return 50; // Windows 2000
        case 1:
            return kOsVersionCodeXp;
        case 2:
            // XP x64 is a workstation 5.2 and counts as XP; Server 2003 is not.
            return workstation ? kOsVersionCodeXp : 65;
        default:
            return kOsVersionCodeUnknown;
        }
    case 6:
        switch (minor) {
        case 0:
            return workstation ? 70 : 75; // Vista, Server 2008
        case 1:
            return workstation ? 80 : 75; // 7, Server 2008 R2
        default:
            return kOsVersionCodeUnknown;
        }
    default:
        return kOsVersionCodeUnknown;
    }
}

} // namespace

int ClassifyOsVersion(const OsVersionReport& report) {
    if (!report.basicQuerySucceeded) {
        return kOsVersionCodeUnknown;
    }
    switch (report.dwPlatformId) {
    case kPlatformWindows9x:
        return ClassifyWindows9x(report.dwMinorVersion);
    case kPlatformNt:
        return ClassifyNt(report.dwMajorVersion, report.dwMinorVersion,
                          report.extendedQuerySucceeded &&
                              report.wProductType == VER_NT_WORKSTATION);
    default:
        return kOsVersionCodeUnknown;
    }
}

int ReadOsVersionCode() {
    OsVersionReport report = {};
    OSVERSIONINFOA basic = {};
    basic.dwOSVersionInfoSize = sizeof basic;
    report.basicQuerySucceeded = GetVersionExA(&basic) != FALSE;
    report.dwPlatformId = basic.dwPlatformId;
    report.dwMajorVersion = basic.dwMajorVersion;
    report.dwMinorVersion = basic.dwMinorVersion;
    if (report.basicQuerySucceeded && basic.dwPlatformId == kPlatformNt) {
        OSVERSIONINFOEXA extended = {};
        extended.dwOSVersionInfoSize = sizeof extended;
        report.extendedQuerySucceeded =
            GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended)) != FALSE;
        report.wProductType = extended.wProductType;
    }
    return ClassifyOsVersion(report);
}

void RecordOsVersionCode() {
    osVersionCode = ReadOsVersionCode();
}

int OsVersionCode() {
    return osVersionCode;
}
