// The OsVersionCode: a small integer that classifies the running Windows version, taken
// once at load. A code of 60 or more (XP and every later or unrecognised version) admits
// the input- and output-report requests, which older systems do not offer.
#pragma once

#include <windows.h>

constexpr int kOsVersionCodeUnknown = 100;
constexpr int kOsVersionCodeXp = 60;

// What GetVersionExA reported: the basic query, and for the NT family the extended one.
struct OsVersionReport {
    bool basicQuerySucceeded;
    DWORD dwPlatformId;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    bool extendedQuerySucceeded;
    BYTE wProductType;
};

int ClassifyOsVersion(const OsVersionReport& report);

// Asks the platform with GetVersionExA (an OSVERSIONINFOA of 148 bytes, then for the NT
// family an OSVERSIONINFOEXA of 156 bytes) and classifies the answer.
int ReadOsVersionCode();

// Reads the code once, at attach; OsVersionCode() answers it from then on, to any thread.
void RecordOsVersionCode();
int OsVersionCode();
