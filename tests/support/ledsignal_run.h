// One run of the real ledsignal.exe, watched the way the system sees it: every key event
// through a low-level keyboard hook, every timer-resolution call through a recording
// winmm.dll beside it, and the lock states before and after.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct KeyEvent {
    DWORD virtualKey;
    bool up;
    bool injected;
    double milliseconds; // performance counter, the moment the hook saw it
};

struct TimerCall {
    bool begin; // timeBeginPeriod, else timeEndPeriod
    UINT period;
    double milliseconds;
};

// The toggle bits of Caps Lock, Scroll Lock and Num Lock.
struct LockStates {
    bool caps;
    bool scroll;
    bool num;
};

struct LedsignalRun {
    bool exited = false;
    DWORD exitCode = 0;
    double startedMs = 0;
    double endedMs = 0;
    LockStates before = {};
    LockStates after = {};
    std::vector<KeyEvent> events;
    std::vector<TimerCall> timerCalls;
};

// Sets the lock states, runs ledsignal (bounded wait) and collects what it did.
LedsignalRun RunLedsignal(const LockStates& start);

// A pulse: the virtual key of a down event followed by its up event.
std::vector<DWORD> Pulses(const std::vector<KeyEvent>& events);

std::string Describe(const LockStates& states);
