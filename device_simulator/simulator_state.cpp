#include "simulator_state.h"

#include "call_rendering.h"

#include <fstream>
#include <iterator>

namespace {

std::string EnvironmentVariable(const char* name) {
    char value[MAX_PATH * 2] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? value : "";
}

struct Shared {
    CRITICAL_SECTION lock;
    SimulatorState state;

    Shared() {
        InitializeCriticalSection(&lock);
        const std::string journal = EnvironmentVariable("DEVSIM_JOURNAL");
        if (!journal.empty()) {
            state.journal.AppendToFile(journal);
        }
        const std::string world = EnvironmentVariable("DEVSIM_WORLD");
        if (!world.empty() && !state.LoadFile(world)) {
            state.journal.Record("devsim: error: " + state.lastError);
        }
    }
    ~Shared() { DeleteCriticalSection(&lock); }
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
    sets.Clear();
    preparsed.Clear();
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

bool SimulatorState::LoadFile(const std::string& path) {
    char fullPath[MAX_PATH];
    char* fileName = nullptr;
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof fullPath, fullPath, &fileName);
    std::ifstream file(path, std::ios::binary);
    if (!file || length == 0 || length >= sizeof fullPath || !fileName) {
        Load("", "", false);
        lastError = "cannot read the world file " + path;
        return false;
    }
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const std::string directory(fullPath, static_cast<size_t>(fileName - fullPath - 1));
    if (!Load(text, directory, false)) {
        lastError = path + ": " + lastError;
        return false;
    }
    return true;
}

const SimulatedInterface* SimulatorState::InterfaceOf(HANDLE handle) const {
    const int index = files.InterfaceOf(handle);
    return index < 0 ? nullptr : &world.interfaces[static_cast<size_t>(index)];
}

std::string SimulatorState::DescribeHandle(HANDLE handle) const {
    const SimulatedInterface* device = InterfaceOf(handle);
    return device ? "dev:" + device->name : DescribeUnknownHandle(handle);
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

std::string DescribeUnknownHandle(const void* handle) {
    return handle ? "0x" + Hex(reinterpret_cast<ULONG_PTR>(handle)) : "null";
}
