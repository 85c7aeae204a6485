// One run of ledsignal, timed: the pulses it sent, every pause as the recording winmm.dll
// saw it, and the whole run against pulses x 200 ms.
#include "ledsignal_run.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kBracketsPerPulse = 4;

void PrintSpread(const char* what, std::vector<double> values) {
    if (values.empty()) {
        std::printf("%-34s none\n", what);
        return;
    }
    std::sort(values.begin(), values.end());
    std::printf("%-34s min %7.2f  median %7.2f  max %7.2f ms  (%zu)\n", what, values.front(),
                values[values.size() / 2], values.back(), values.size());
}

} // namespace

int main() {
    const LedsignalRun run = RunLedsignal({false, false, false});
    const size_t pulses = Pulses(run.events).size();
    std::vector<double> sleeps, pauses, pressToPress;
    for (size_t i = 0; i + 1 < run.timerCalls.size(); i += 2) {
        sleeps.push_back(run.timerCalls[i + 1].milliseconds - run.timerCalls[i].milliseconds);
    }
    const size_t perPulse = 2 * kBracketsPerPulse;
    for (size_t i = 0; i + perPulse <= run.timerCalls.size(); i += perPulse) {
        pauses.push_back(run.timerCalls[i + perPulse - 1].milliseconds -
                         run.timerCalls[i].milliseconds);
    }
    for (size_t i = 2; i < run.events.size(); i += 2) {
        pressToPress.push_back(run.events[i].milliseconds - run.events[i - 2].milliseconds);
    }
    const double total = run.endedMs - run.startedMs;
    std::printf("ledsignal from all locks off: %zu pulses, exit code %lu\n", pulses, run.exitCode);
    PrintSpread("50 ms sleeps (timer brackets)", sleeps);
    PrintSpread("200 ms pauses (4 brackets)", pauses);
    PrintSpread("press to next press (key hook)", pressToPress);
    std::printf("whole run %.1f ms against %zu x 200 = %zu ms: %+.1f ms\n", total, pulses,
                pulses * 200, total - pulses * 200.0);
    return run.exited && run.exitCode == 0 ? 0 : 1;
}
