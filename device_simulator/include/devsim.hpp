// C++ conveniences over devsim.h: strings and vectors in place of borrowed pointers.
#pragma once

#include "devsim.h"

#include <string>
#include <vector>

namespace devsim {

// False when the world does not load; LastError() says why.
inline bool LoadWorld(const std::string& text) {
    return DevSim_LoadWorld(text.c_str()) != 0;
}

inline bool LoadWorldFile(const std::string& path) {
    return DevSim_LoadWorldFile(path.c_str()) != 0;
}

inline std::string LastError() {
    return DevSim_LastError();
}

// Empty for an unknown interface.
inline std::string DevicePath(const std::string& name) {
    const char* path = DevSim_DevicePath(name.c_str());
    return path ? path : "";
}

inline std::vector<std::string> Journal() {
    std::vector<std::string> lines;
    const int size = DevSim_JournalSize();
    for (int i = 0; i < size; ++i) {
        const char* line = DevSim_JournalLine(i);
        if (line) {
            lines.emplace_back(line);
        }
    }
    return lines;
}

// The journal lines of one function, such as "HidD_SetFeature".
inline std::vector<std::string> JournalOf(const std::string& function) {
    std::vector<std::string> lines;
    for (const std::string& line : Journal()) {
        if (line.compare(0, function.size() + 1, function + "(") == 0) {
            lines.push_back(line);
        }
    }
    return lines;
}

inline void ClearJournal() {
    DevSim_ClearJournal();
}

} // namespace devsim
