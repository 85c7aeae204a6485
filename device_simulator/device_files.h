// The files that stand for the world's devices. A program under test opens them with the
// platform's own CreateFileA and reads and writes them with ReadFile and WriteFile, so a
// test can see exactly what reached a device.
#pragma once

#include "world.h"

#include <map>
#include <string>
#include <vector>

class DeviceFiles {
public:
    DeviceFiles() = default;
    DeviceFiles(const DeviceFiles&) = delete;
    DeviceFiles& operator=(const DeviceFiles&) = delete;
    ~DeviceFiles() { Release(); }

    // Creates one file per interface in `directory`, holding the interface's read data.
    // A directory the simulator made itself (`owned`) is removed again on Release.
    bool Create(const World& world, const std::string& directory, bool owned, std::string& error);
    void Release();

    const std::string& PathOf(size_t interfaceIndex) const { return paths_[interfaceIndex]; }
    // The interface whose file `handle` is open on, or -1.
    int InterfaceOf(HANDLE handle) const;

private:
    // The file's index on its volume; all device files of a world share one folder.
    using FileIdentity = LONGLONG;

    std::string directory_;
    bool owned_ = false;
    std::vector<std::string> paths_;
    std::map<FileIdentity, size_t> interfaces_;
    // Opened for reading with no sharing: access-0 opens still succeed, opens for reading
    // or writing fail with a sharing violation.
    std::vector<HANDLE> guards_;
};

// A fresh directory under the system's temporary folder, for a world that came as text.
std::string MakeScratchDirectory();
