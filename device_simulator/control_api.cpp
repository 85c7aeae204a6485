// The control interface of devsim.h.
#include "devsim.h"

#include "simulator_state.h"

extern "C" {

int DEVSIM_CALL DevSim_LoadWorld(const char* text) {
    LockedState state;
    return state->Load(text ? text : "", MakeScratchDirectory(), true) ? 1 : 0;
}

int DEVSIM_CALL DevSim_LoadWorldFile(const char* path) {
    LockedState state;
    return state->LoadFile(path ? path : "") ? 1 : 0;
}

const char* DEVSIM_CALL DevSim_LastError(void) {
    LockedState state;
    return state->lastError.c_str();
}

const char* DEVSIM_CALL DevSim_DevicePath(const char* name) {
    LockedState state;
    const std::vector<SimulatedInterface>& interfaces = state->world.interfaces;
    for (size_t i = 0; name && i < interfaces.size(); ++i) {
        if (interfaces[i].name == name) {
            return state->files.PathOf(i).c_str();
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
    const std::deque<std::string>& lines = state->journal.Lines();
    if (index < 0 || static_cast<size_t>(index) >= lines.size()) {
        return nullptr;
    }
    return lines[static_cast<size_t>(index)].c_str();
}

void DEVSIM_CALL DevSim_ClearJournal(void) {
    LockedState state;
    state->journal.Clear();
}

int DEVSIM_CALL DevSim_LiveDeviceInfoSets(void) {
    LockedState state;
    return state->sets.Count();
}

int DEVSIM_CALL DevSim_OutstandingPreparsedData(void) {
    LockedState state;
    return state->preparsed.Count();
}

} // extern "C"
