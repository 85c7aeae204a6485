// The size of the deliverables, and of the library against its goal.
//     deliverable_sizes.exe [deliverables folder [file...]]
// (default ..\dist and the three x86 deliverables; the x64 build has the library alone)
#include "summary_line.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr ULONGLONG kLibrarySizeGoal = 16 * 1024;

} // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : "..\\dist";
    std::printf("Footprint of the deliverables in %s\n", folder.c_str());
    std::printf("  %-14s %10s %9s  %s\n", "file", "bytes", "KiB", "goal");
    std::string librarySummary;
    bool libraryMet = false;
    std::vector<std::string> names(argv + (argc > 2 ? 2 : argc), argv + argc);
    if (names.empty()) {
        names = {"Velmar.dll", "devcmd.exe", "ledsignal.exe"};
    }
    for (const std::string& name : names) {
        const std::string path = folder + "\\" + name;
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
            std::printf("  %-14s %10s\n", name.c_str(), "missing");
            continue;
        }
        const ULONGLONG bytes =
            (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        const bool isLibrary = name == "Velmar.dll";
        const bool met = bytes <= kLibrarySizeGoal;
        std::printf("  %-14s %10llu %9.1f  %s\n", name.c_str(), bytes, bytes / 1024.0,
                    isLibrary ? (met ? "<= 16 KiB met" : "<= 16 KiB MISSED") : "");
        if (isLibrary) {
            char measured[64];
            std::snprintf(measured, sizeof measured, "%llu B (%.1f KiB)", bytes, bytes / 1024.0);
            librarySummary = measured;
            libraryMet = met;
        }
    }
    std::printf("\n");
    // A missing library has no figure, as it has no size.
    if (!librarySummary.empty()) {
        PrintSummary("Velmar.dll size", librarySummary.c_str(), "<= 16 KiB", libraryMet);
    }
    return 0;
}
