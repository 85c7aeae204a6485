#include "simulator_state.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

struct Shared {
    CRITICAL_SECTION lock;
    SimulatorState state;

    Shared() {
        InitializeCriticalSection(&lock);
        LoadFromEnvironment();
    }

    std::string Environment(const char* name) {
        char value[MAX_PATH * 2] = {};
        const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
        return length > 0 && length < sizeof value ? value : "";
    }

    void LoadFromEnvironment() {
        const std::string journal = Environment("DEVSIM_JOURNAL");
        if (!journal.empty()) {
            state.journal.AppendToFile(journal);
        }
        const std::string world = Environment("DEVSIM_WORLD");
        if (world.empty()) {
            return;
        }
        std::ifstream file(world, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        const size_t slash = world.find_last_of("\\/");
        const std::string directory = slash == std::string::npos ? "." : world.substr(0, slash);
        if (!file || !state.Load(text.str(), directory, false)) {
            state.journal.Record("devsim: error loading " + world + ": " +
                                 (file ? state.lastError : "cannot read the file"));
        }
    }
};

Shared& TheShared() {
    static Shared shared;
    return shared;
}

} // namespace

// The world named in the environment is there from the moment the simulator is loaded: a
// program may open a device file before its first call into hid.dll or setupapi.dll.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        TheShared();
    }
    return TRUE;
}

bool SimulatorState::Load(const std::string& text, const std::string& directory,
                          bool ownedDirectory) {
    files.Release();
    sets.clear();
    setsCreated = 0;
    preparsed.clear();
    preparsedCreated = 0;
    journal.Clear();
    lastError.clear();
    if (!ParseWorld(text, world, lastError)) {
        return false;
    }
    if (!files.Create(world, directory, ownedDirectory, lastError)) {
        files.Release();
        world = World();
        return false;
    }
    return true;
}

const SimulatedInterface* SimulatorState::InterfaceOf(HANDLE handle) const {
    const int index = files.InterfaceOf(handle);
    return index < 0 ? nullptr : &world.interfaces[static_cast<size_t>(index)];
}

std::string SimulatorState::Describe(HANDLE handle) const {
    if (!handle) {
        return "null";
    }
    const SimulatedInterface* device = InterfaceOf(handle);
    return device ? "dev:" + device->name : "0x" + Hex(reinterpret_cast<ULONG_PTR>(handle));
}

void SimulatorState::Record(const std::string& call, const std::string& result, DWORD error) {
    std::string line = call;
    if (!result.empty()) {
        line += " = " + result;
    }
    if (error) {
        line += " error=" + std::to_string(error);
    }
    journal.Record(line);
    if (error) {
        SetLastError(error);
    }
}

LockedState::LockedState() : state_(TheShared().state) {
    EnterCriticalSection(&TheShared().lock);
}

LockedState::~LockedState() {
    LeaveCriticalSection(&TheShared().lock);
}

std::string Hex(unsigned long value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*lx", digits, value);
    return text;
}
