#include "ledsignal_run.h"

#include "support/child_process.h"
#include "support/time_bounds.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

const DWORD kRunTimeoutMs = ScaledBound(15000);
constexpr DWORD kSettleMs = 200;
constexpr BYTE kLockKeys[] = {VK_CAPITAL, VK_SCROLL, VK_NUMLOCK};

// The hook runs on this thread, inside its message pumping.
std::vector<KeyEvent>* recording;

double NowMs() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return now.QuadPart * 1000.0 / frequency.QuadPart;
}

LRESULT CALLBACK KeyboardHook(int code, WPARAM message, LPARAM data) {
    if (code == HC_ACTION && recording) {
        const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(data);
        recording->push_back({key->vkCode, (key->flags & LLKHF_UP) != 0,
                              (key->flags & LLKHF_INJECTED) != 0, NowMs()});
    }
    return CallNextHookEx(nullptr, code, message, data);
}

void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageA(&message);
    }
}

// Lets the session's key state catch up with input already sent, then reads it.
LockStates ReadLockStates() {
    const double until = NowMs() + kSettleMs;
    while (NowMs() < until) {
        PumpMessages();
        Sleep(10);
    }
    return {(GetKeyState(VK_CAPITAL) & 1) != 0, (GetKeyState(VK_SCROLL) & 1) != 0,
            (GetKeyState(VK_NUMLOCK) & 1) != 0};
}

bool StateOf(const LockStates& states, BYTE key) {
    return key == VK_CAPITAL ? states.caps : key == VK_SCROLL ? states.scroll : states.num;
}

void SetLockStates(const LockStates& wanted) {
    const LockStates now = ReadLockStates();
    for (BYTE key : kLockKeys) {
        if (StateOf(now, key) != StateOf(wanted, key)) {
            keybd_event(key, 0, 0, 0);
            keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
        }
    }
}

std::string ProgramFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\'));
}

std::vector<TimerCall> ReadTimerJournal(const std::string& path) {
    std::vector<TimerCall> calls;
    std::ifstream file(path);
    std::string function;
    UINT period;
    double milliseconds;
    while (file >> function >> period >> milliseconds) {
        calls.push_back({function == "timeBeginPeriod", period, milliseconds});
    }
    return calls;
}

} // namespace

LedsignalRun RunLedsignal(const LockStates& start) {
    LedsignalRun run;
    SetLockStates(start);
    run.before = ReadLockStates();

    const std::string folder = ProgramFolder();
    const std::string journal = folder + "\\timer-journal.txt";
    DeleteFileA(journal.c_str());
    SetEnvironmentVariableA("LEDSIGNAL_TIMER_JOURNAL", journal.c_str());

    recording = &run.events;
    HHOOK hook = SetWindowsHookExA(WH_KEYBOARD_LL, KeyboardHook, GetModuleHandleA(nullptr), 0);
    const std::string program = folder + "\\ledsignal.exe";
    PROCESS_INFORMATION process;
    run.startedMs = NowMs();
    if (hook && StartChild(program, folder, process)) {
        const double deadline = run.startedMs + kRunTimeoutMs;
        while (!run.exited && NowMs() < deadline) {
            const DWORD woken =
                MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 50, QS_ALLINPUT);
            run.exited = woken == WAIT_OBJECT_0;
            PumpMessages();
        }
        run.endedMs = NowMs();
        run.exitCode = FinishChild(process, run.exited, kRunTimeoutMs);
    }
    run.after = ReadLockStates();
    if (hook) {
        UnhookWindowsHookEx(hook);
    }
    recording = nullptr;
    SetEnvironmentVariableA("LEDSIGNAL_TIMER_JOURNAL", nullptr);
    run.timerCalls = ReadTimerJournal(journal);
    return run;
}

std::vector<DWORD> Pulses(const std::vector<KeyEvent>& events) {
    std::vector<DWORD> pulses;
    for (size_t i = 0; i + 1 < events.size(); ++i) {
        if (!events[i].up && events[i + 1].up && events[i + 1].virtualKey == events[i].virtualKey) {
            pulses.push_back(events[i].virtualKey);
            ++i;
        }
    }
    return pulses;
}

std::string Describe(const LockStates& states) {
    std::ostringstream text;
    text << "Caps " << (states.caps ? "on" : "off") << ", Scroll " << (states.scroll ? "on" : "off")
         << ", Num " << (states.num ? "on" : "off");
    return text.str();
}
