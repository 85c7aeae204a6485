// One run of ledsignal, timed: the pulses it sent, every pause as the recording winmm.dll
// saw it, and the whole run against pulses x 200 ms.
#include "support/ledsignal_run.h"

#include "summary_line.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kBracketsPerPulse = 4;

// Prints min, median and max; returns the largest distance from `target`.
double PrintSpread(const char* what, std::vector<double> values, double target) {
    if (values.empty()) {
        std::printf("%-34s none\n", what);
        return 1e9;
    }
    std::sort(values.begin(), values.end());
    std::printf("%-34s min %7.2f  median %7.2f  max %7.2f ms  (%zu)\n", what, values.front(),
                values[values.size() / 2], values.back(), values.size());
    return std::max(target - values.front(), values.back() - target);
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
    PrintSpread("50 ms sleeps (timer brackets)", sleeps, 50);
    const double pauseError = PrintSpread("200 ms pauses (4 brackets)", pauses, 200);
    PrintSpread("press to next press (key hook)", pressToPress, 200);
    // From the first press to the end of the last pause: the program's own run. The whole
    // process adds Wine's start and exit, shown for what it is.
    const double sequence =
        run.timerCalls.empty() || run.events.empty()
            ? 0
            : run.timerCalls.back().milliseconds - run.events.front().milliseconds;
    const double totalError = sequence - pulses * 200.0;
    std::printf("pulse sequence %.1f ms against %zu x 200 = %zu ms: %+.1f ms\n", sequence, pulses,
                pulses * 200, totalError);
    std::printf("whole process, with Wine's start and exit: %.1f ms\n", total);
    char measured[64];
    std::snprintf(measured, sizeof measured, "%zu pulses, worst %.2f ms off", pulses, pauseError);
    PrintSummary("ledsignal pauses", measured, "each within 2 ms of 200", pauseError <= 2);
    std::snprintf(measured, sizeof measured, "%+.1f ms", totalError);
    PrintSummary("ledsignal run vs pulses x 200 ms", measured, "within 50 ms",
                 totalError >= -50 && totalError <= 50);
    return run.exited && run.exitCode == 0 ? 0 : 1;
}
