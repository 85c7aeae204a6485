#include "journal.h"

Journal::~Journal() {
    if (file_ != INVALID_HANDLE_VALUE) {
        CloseHandle(file_);
    }
}

void Journal::AppendToFile(const std::string& path) {
    file_ = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Written at once and unbuffered, so the file is complete whenever the process ends.
void Journal::Record(const std::string& line) {
    lines_.push_back(line);
    if (file_ != INVALID_HANDLE_VALUE) {
        const std::string text = line + "\n";
        DWORD written = 0;
        WriteFile(file_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
}
