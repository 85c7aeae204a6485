// The record of every platform call, in memory for a test in the same process and,
// when a journal file is named, appended to that file line by line for a test in
// another process.
#pragma once

#include <windows.h>

#include <deque>
#include <string>

class Journal {
public:
    Journal() = default;
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;
    ~Journal();

    void AppendToFile(const std::string& path);
    void Record(const std::string& line);
    void Clear() { lines_.clear(); }
    // Lines stay in place as others are added, so a caller may hold on to one until Clear.
    const std::deque<std::string>& Lines() const { return lines_; }

private:
    std::deque<std::string> lines_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
};
