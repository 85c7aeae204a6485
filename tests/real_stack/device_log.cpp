#include "device_log.h"

#include <windows.h>

#include <cstdlib>
#include <fstream>

std::vector<std::string> DeviceLogLines() {
    std::vector<std::string> lines;
    const char* path = std::getenv("REAL_STACK_DEVICE_LOG");
    if (!path) {
        return lines;
    }
    std::ifstream log(path);
    for (std::string line; std::getline(log, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> LinesAfter(const std::vector<std::string>& before) {
    std::vector<std::string> now = DeviceLogLines();
    if (now.size() <= before.size()) {
        return {};
    }
    return std::vector<std::string>(now.begin() + before.size(), now.end());
}
