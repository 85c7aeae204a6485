// The control interface of devsim.h.
#include "devsim.h"

#include "simulator_state.h"

#include <fstream>
#include <sstream>

namespace {

// Owned by the simulator, so the returned text outlives the call.
thread_local std::string returnedText;

const char* Returned(const std::string& text) {
    returnedText = text;
    return returnedText.c_str();
}

} // namespace

extern "C" {

int DEVSIM_CALL DevSim_LoadWorld(const char* text) {
    LockedState state;
    return state->Load(text ? text : "", MakeScratchDirectory(), true) ? 1 : 0;
}

int DEVSIM_CALL DevSim_LoadWorldFile(const char* path) {
    std::ifstream file(path ? path : "", std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    const std::string name = path ? path : "";
    const size_t slash = name.find_last_of("\\/");
    LockedState state;
    if (!file) {
        state->Load("", MakeScratchDirectory(), true);
        state->lastError = "cannot read " + name;
        return 0;
    }
    return state->Load(text.str(), slash == std::string::npos ? "." : name.substr(0, slash), false)
               ? 1
               : 0;
}

const char* DEVSIM_CALL DevSim_LastError(void) {
    LockedState state;
    return Returned(state->lastError);
}

const char* DEVSIM_CALL DevSim_DevicePath(const char* name) {
    LockedState state;
    const std::vector<SimulatedInterface>& interfaces = state->world.interfaces;
    for (size_t i = 0; name && i < interfaces.size(); ++i) {
        if (interfaces[i].name == name) {
            return Returned(state->files.PathOf(i));
        }
    }
    return nullptr;
}

int DEVSIM_CALL DevSim_JournalSize(void) {
    LockedState state;
    return static_cast<int>(state->journal.Lines().size());
}

const char* DEVSIM_CALL DevSim_JournalLine(int index) {
    LockedState state;
    const std::vector<std::string>& lines = state->journal.Lines();
    if (index < 0 || static_cast<size_t>(index) >= lines.size()) {
        return nullptr;
    }
    return Returned(lines[static_cast<size_t>(index)]);
}

void DEVSIM_CALL DevSim_ClearJournal(void) {
    LockedState state;
    state->journal.Clear();
}

int DEVSIM_CALL DevSim_LiveDeviceInfoSets(void) {
    LockedState state;
    return static_cast<int>(state->sets.size());
}

int DEVSIM_CALL DevSim_OutstandingPreparsedData(void) {
    LockedState state;
    return static_cast<int>(state->preparsed.size());
}

} // extern "C"
