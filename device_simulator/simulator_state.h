// Everything the simulator holds, behind one lock: the program under test may call the
// platform from many threads at once.
#pragma once

#include "device_files.h"
#include "journal.h"
#include "world.h"

#include <map>
#include <string>

// Handles given to the program under test (device information sets, preparsed data
// blocks): opaque values that nobody dereferences, each numbered from 1 per world.
template <typename Details>
class HandedOut {
public:
    explicit HandedOut(ULONG_PTR base) : base_(base) {}

    void* Add(const Details& details) {
        void* handle = reinterpret_cast<void*>(base_ + 8 * static_cast<ULONG_PTR>(++created_));
        live_[handle] = {created_, details};
        return handle;
    }
    bool Remove(void* handle) { return live_.erase(handle) != 0; }
    const Details* Find(void* handle) const {
        const auto found = live_.find(handle);
        return found == live_.end() ? nullptr : &found->second.details;
    }
    int Count() const { return static_cast<int>(live_.size()); }
    void Clear() {
        live_.clear();
        created_ = 0;
    }
    // "<prefix>:<n>" for a live handle, else null or the handle's value in hex.
    std::string Describe(const char* prefix, void* handle) const;

private:
    struct Entry {
        int number;
        Details details;
    };
    ULONG_PTR base_;
    int created_ = 0;
    std::map<void*, Entry> live_;
};

struct DeviceInfoSet {
    bool listsHidInterfaces;
};

struct PreparsedData {
    size_t interfaceIndex;
};

struct SimulatorState {
    World world;
    DeviceFiles files;
    Journal journal;
    std::string lastError;
    HandedOut<DeviceInfoSet> sets{0x5E700000};
    HandedOut<PreparsedData> preparsed{0x9A900000};

    // Replaces the world; its device files go to `directory`, which the simulator removes
    // again when it made it itself (`ownedDirectory`). False (and an empty world) when the
    // text is wrong or the files cannot be made.
    bool Load(const std::string& text, const std::string& directory, bool ownedDirectory);
    // A world file keeps its device files beside it.
    bool LoadFile(const std::string& path);

    const SimulatedInterface* InterfaceOf(HANDLE handle) const;
    // How a handle appears in journal lines: dev:<name>, null, or its value in hex.
    std::string DescribeHandle(HANDLE handle) const;
    // Records one call. A failed call carries its error code, which becomes the thread's last
    // error only once the journal is written, since writing the journal file may change it.
    void Record(const std::string& call, const std::string& result, DWORD error = 0);
};

// Holds the simulator's lock for its lifetime. A critical section, unlike other locks,
// never touches the thread's last error, which the simulated functions set just before
// they return.
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

std::string DescribeUnknownHandle(const void* handle);

template <typename Details>
std::string HandedOut<Details>::Describe(const char* prefix, void* handle) const {
    const auto found = live_.find(handle);
    if (found == live_.end()) {
        return DescribeUnknownHandle(handle);
    }
    return std::string(prefix) + ":" + std::to_string(found->second.number);
}
