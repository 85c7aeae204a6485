#include "simulated_world.h"

#include "devsim.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

const char kHidClass[] = "{4D1E55B2-F16F-11CF-88CB-001111000030}";

namespace {

bool SameFile(HANDLE first, HANDLE second) {
    BY_HANDLE_FILE_INFORMATION a, b;
    return GetFileInformationByHandle(first, &a) && GetFileInformationByHandle(second, &b) &&
           a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

} // namespace

SimulatedWorld::SimulatedWorld(const std::string& text) {
    if (!DevSim_LoadWorld(text.c_str())) {
        std::fprintf(stderr, "the simulated world does not load: %s\n", DevSim_LastError());
        std::exit(2);
    }
}

std::vector<std::string> SimulatedWorld::Journal() const {
    std::vector<std::string> lines;
    const int size = DevSim_JournalSize();
    for (int i = 0; i < size; ++i) {
        lines.emplace_back(DevSim_JournalLine(i));
    }
    return lines;
}

std::vector<std::string> SimulatedWorld::JournalOf(const std::string& function) const {
    std::vector<std::string> lines;
    for (const std::string& line : Journal()) {
        if (line.compare(0, function.size() + 1, function + "(") == 0) {
            lines.push_back(line);
        }
    }
    return lines;
}

void SimulatedWorld::ClearJournal() const {
    DevSim_ClearJournal();
}

std::string SimulatedWorld::DevicePath(const std::string& name) const {
    const char* path = DevSim_DevicePath(name.c_str());
    return path ? path : "";
}

bool SimulatedWorld::HandleRefersTo(HANDLE handle, const std::string& name) const {
    HANDLE file = CreateFileA(DevicePath(name).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool same = SameFile(handle, file);
    CloseHandle(file);
    return same;
}

std::string SimulatedWorld::DeviceFileContents(const std::string& name) const {
    std::ifstream file(DevicePath(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}
