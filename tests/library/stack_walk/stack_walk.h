// What the stack-walking hid.dll saw when Velmar.dll called its HidP_GetCaps: each frame's
// program counter, from that function's own outwards, and whether the platform found unwind
// data for it, as Windows' unwinder must for every frame it passes on its way to a handler.
#pragma once

#include <windows.h>

struct StackFrame {
    DWORD64 programCounter;
    bool hasUnwindData;
};

struct StackWalk {
    static constexpr int kMaxFrames = 64;
    int count;
    StackFrame frames[kMaxFrames];
};

// Exported by the stack-walking hid.dll: the walk of its latest HidP_GetCaps.
using StackWalkOfLastCapsFunction = const StackWalk*(WINAPI*)();
