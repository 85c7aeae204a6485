// A program that a test runs as a child process of its own, started and ended the same way
// by every test that watches one.
#pragma once

#include <windows.h>

#include <string>

// Starts `program` with no arguments in `folder`, with this process's environment.
bool StartChild(const std::string& program, const std::string& folder,
                PROCESS_INFORMATION& process);

// Ends a child: one that has not exited is terminated (exit code 99) and waited for, at most
// `boundMs`. Returns its exit code and closes both of its handles.
DWORD FinishChild(PROCESS_INFORMATION& process, bool exited, DWORD boundMs);
