// Everything the simulator holds, behind one lock: the program under test may call the
// platform from many threads at once.
#pragma once

#include "device_files.h"
#include "journal.h"
#include "world.h"

#include <map>
#include <string>

struct SimulatorState {
    World world;
    DeviceFiles files;
    Journal journal;
    std::string lastError;
    // Device information sets handed out: their number in journal lines, and whether they
    // list the HID interface class.
    struct DeviceInfoSet {
        int number;
        bool listsHidInterfaces;
    };
    std::map<void*, DeviceInfoSet> sets;
    int setsCreated = 0;
    // Preparsed data blocks handed out: their number and their interface.
    struct PreparsedData {
        int number;
        size_t interfaceIndex;
    };
    std::map<void*, PreparsedData> preparsed;
    int preparsedCreated = 0;

    // Replaces the world; its device files go to `directory`. False (and an empty world)
    // when the text is wrong or the files cannot be made.
    bool Load(const std::string& text, const std::string& directory, bool ownedDirectory);

    const SimulatedInterface* InterfaceOf(HANDLE handle) const;
    // How a handle appears in journal lines: dev:<name>, null, or its value in hex.
    std::string Describe(HANDLE handle) const;
    // Records one call; a failed call carries its error code, which becomes the thread's
    // last error only after the journal has been written.
    void Record(const std::string& call, const std::string& result, DWORD error = 0);
};

// Locks the state for the lifetime of this object. When the simulator is loaded it reads the
// world named by DEVSIM_WORLD and opens the journal named by DEVSIM_JOURNAL. A critical
// section, unlike other locks, never touches the thread's last error, which the
// simulated functions set just before they return.
class LockedState {
public:
    LockedState();
    ~LockedState();
    LockedState(const LockedState&) = delete;
    LockedState& operator=(const LockedState&) = delete;
    SimulatorState* operator->() { return &state_; }

private:
    SimulatorState& state_;
};

std::string Hex(unsigned long value, int digits = 0);
