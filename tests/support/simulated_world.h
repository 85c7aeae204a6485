// A world of simulated HID interfaces for one test, loaded into the device simulator that
// stands beside the test program in place of hid.dll and setupapi.dll.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class SimulatedWorld {
public:
    // Loads the world (see the simulator's README for the format); a world that does not
    // load fails the test program at once.
    explicit SimulatedWorld(const std::string& text);

    // Every platform call since the world was loaded or the journal was cleared.
    std::vector<std::string> Journal() const;
    // The calls of one platform function only.
    std::vector<std::string> JournalOf(const std::string& function) const;
    void ClearJournal() const;

    std::string DevicePath(const std::string& name) const;
    // Whether `handle` is open on the interface called `name`.
    bool HandleRefersTo(HANDLE handle, const std::string& name) const;
    // The bytes in the interface's device file: what was written to the device.
    std::string DeviceFileContents(const std::string& name) const;
};

// The HID interface class as it appears in journal lines.
extern const char kHidClass[];
