// A stand-in for winmm.dll that records every timer-resolution call, with its argument
// and the moment it was made, and writes the record when the program ends to the file
// named by LEDSIGNAL_TIMER_JOURNAL, one line each:
//     timeBeginPeriod 1 12345.678
// (milliseconds on the performance counter). An unmatched timeEndPeriod succeeds on the
// real system too, so only a record shows whether every pause was bracketed. Calls are
// kept in memory until then: writing each at once would lengthen the pauses it measures.
// The functions are defined here, so they must not be declared as imports.
#define _WINMM_
#include <windows.h>

#include <cstdio>

namespace {

struct Call {
    bool begin;
    UINT period;
    LONGLONG counter;
};

constexpr LONG kMaxCalls = 4096;
Call calls[kMaxCalls];
LONG callCount;

void Record(bool begin, UINT period) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const LONG index = InterlockedIncrement(&callCount) - 1;
    if (index < kMaxCalls) {
        calls[index] = {begin, period, now.QuadPart};
    }
}

void WriteJournal() {
    char path[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("LEDSIGNAL_TIMER_JOURNAL", path, sizeof path)) {
        return;
    }
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    FILE* file = std::fopen(path, "w");
    if (!file) {
        return;
    }
    for (LONG i = 0; i < callCount && i < kMaxCalls; ++i) {
        std::fprintf(file, "%s %u %.3f\n", calls[i].begin ? "timeBeginPeriod" : "timeEndPeriod",
                     calls[i].period, calls[i].counter * 1000.0 / frequency.QuadPart);
    }
    std::fclose(file);
}

} // namespace

extern "C" {

MMRESULT WINAPI timeBeginPeriod(UINT period) {
    Record(true, period);
    return TIMERR_NOERROR;
}

MMRESULT WINAPI timeEndPeriod(UINT period) {
    Record(false, period);
    return TIMERR_NOERROR;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_DETACH) {
        WriteJournal();
    }
    return TRUE;
}

} // extern "C"
