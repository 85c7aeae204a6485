// What the simulator's tests share besides the doubles themselves.
#pragma once

#include <windows.h>

#include <string>

// Loads a world given as text; the test fails if it does not load.
void LoadWorld(const std::string& text);
// Opens a device file of the loaded world as a program under test would.
HANDLE OpenDevice(const char* name, DWORD access);
// The folder of the test program, where the simulator's DLLs are.
std::string ProgramFolder();
bool Exists(const std::string& path);
std::string FileContents(const std::string& path);

// A folder under %TEMP% for one test, removed with what it holds when the test ends.
class ScratchFolder {
public:
    explicit ScratchFolder(const char* purpose);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const char* name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};
