#include "child_process.h"

bool StartChild(const std::string& program, const std::string& folder,
                PROCESS_INFORMATION& process) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    process = {};
    return CreateProcessA(program.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr,
                          folder.c_str(), &startup, &process) != FALSE;
}

DWORD FinishChild(PROCESS_INFORMATION& process, bool exited, DWORD boundMs) {
    if (!exited) {
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, boundMs);
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
}
