#include "test_support.h"

#include "devsim.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

void LoadWorld(const std::string& text) {
    ASSERT_TRUE(devsim::LoadWorld(text)) << devsim::LastError();
}

HANDLE OpenDevice(const char* name, DWORD access) {
    return CreateFileA(devsim::DevicePath(name).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

std::string ProgramFolder() {
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, sizeof module);
    const std::string path = module;
    return path.substr(0, path.find_last_of('\\'));
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string FileContents(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

ScratchFolder::ScratchFolder(const char* purpose) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    path_ =
        std::string(temp) + "devsim-test-" + purpose + "-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(File("*").c_str(), &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
        DeleteFileA(File(found.cFileName).c_str());
    }
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
    }
    RemoveDirectoryA(path_.c_str());
}
