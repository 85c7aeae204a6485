// ledsignal: blinks the keyboard's lock lights in a fixed pattern with synthetic presses of
// the lock keys, 200 ms apart: all three locks on, Scroll Lock pulsed ten times, Num Lock
// six times, then Caps Lock and Scroll Lock off. It ends with Num Lock on and the other
// two off, and always exits with code 0.
#include <windows.h>

namespace {

constexpr int kPausesPerPulse = 4;
constexpr DWORD kPauseMs = 50;
constexpr int kScrollPulses = 10;
constexpr int kNumPulses = 6;
constexpr BYTE kSwitchedOn[] = {VK_CAPITAL, VK_SCROLL, VK_NUMLOCK};
constexpr BYTE kSwitchedOff[] = {VK_CAPITAL, VK_SCROLL};

// Each pause runs with the system timer at 1 ms resolution, restored right after, so the
// raised resolution never outlives a pause.
void PreciseSleep(DWORD milliseconds) {
    timeBeginPeriod(1);
    Sleep(milliseconds);
    timeEndPeriod(1);
}

// One press and release of `key`, back to back, then 200 ms for the light to show.
void TogglePulse(BYTE key) {
    keybd_event(key, 0, 0, 0);
    keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
    for (int i = 0; i < kPausesPerPulse; ++i) {
        PreciseSleep(kPauseMs);
    }
}

// 1 while the lock is on and the key is up; a held key reads negative.
SHORT LockState(BYTE key) {
    return GetKeyState(key);
}

} // namespace

extern "C" void ProgramStart() {
    for (BYTE key : kSwitchedOn) {
        if (LockState(key) < 1) {
            TogglePulse(key);
        }
    }
    for (int i = 0; i < kScrollPulses; ++i) {
        TogglePulse(VK_SCROLL);
    }
    for (int i = 0; i < kNumPulses; ++i) {
        TogglePulse(VK_NUMLOCK);
    }
    for (BYTE key : kSwitchedOff) {
        if (LockState(key) >= 1) {
            TogglePulse(key);
        }
    }
    ExitProcess(0);
}
