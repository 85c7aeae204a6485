// ledsignal end to end: the key events the system sees, the timer brackets around every
// pause, and the lock states it leaves, from three starting states.
#include "support/ledsignal_run.h"
#include "support/time_bounds.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using ::testing::ElementsAreArray;

constexpr DWORD C = VK_CAPITAL, S = VK_SCROLL, N = VK_NUMLOCK;
constexpr DWORD kPulseMs = 200;

std::vector<DWORD> Repeated(DWORD key, int times) {
    return std::vector<DWORD>(static_cast<size_t>(times), key);
}

// The middle of every run: ten Scroll Lock pulses, then six Num Lock pulses.
std::vector<DWORD> Middle() {
    std::vector<DWORD> middle = Repeated(S, 10);
    const std::vector<DWORD> num = Repeated(N, 6);
    middle.insert(middle.end(), num.begin(), num.end());
    return middle;
}

// Splits a run's pulses into the switch-on part, the middle and the switch-off part.
struct Phases {
    std::vector<DWORD> on, middle, off;
};

Phases Split(const std::vector<DWORD>& pulses) {
    const std::vector<DWORD> middle = Middle();
    const auto at = std::search(pulses.begin(), pulses.end(), middle.begin(), middle.end());
    Phases phases;
    phases.on.assign(pulses.begin(), at);
    if (at != pulses.end()) {
        phases.middle = middle;
        phases.off.assign(at + static_cast<long>(middle.size()), pulses.end());
    }
    return phases;
}

bool Toggled(const std::vector<DWORD>& pulses, DWORD key) {
    return std::count(pulses.begin(), pulses.end(), key) % 2 == 1;
}

void ExpectWellFormedPulses(const LedsignalRun& run) {
    ASSERT_EQ(run.events.size() % 2, 0u);
    for (size_t i = 0; i < run.events.size(); i += 2) {
        const KeyEvent& down = run.events[i];
        const KeyEvent& up = run.events[i + 1];
        EXPECT_FALSE(down.up);
        EXPECT_TRUE(up.up);
        EXPECT_EQ(down.virtualKey, up.virtualKey);
        EXPECT_TRUE(down.injected && up.injected);
        // Lower bounds are exact; upper bounds leave room for a machine busy with other
        // tests (the timing itself is measured by the ledsignal timing benchmark, and the
        // sleeps asked for by the timer brackets). The room is the machine's, not the
        // program's: it stretches on an emulated CPU, the 200 ms pause itself does not.
        EXPECT_LT(up.milliseconds - down.milliseconds, ScaledBound(kPulseMs / 2))
            << "release follows the press at once";
        if (i >= 2) {
            const double pause = down.milliseconds - run.events[i - 1].milliseconds;
            EXPECT_GE(pause, kPulseMs - 2) << "the pause comes after the release";
            EXPECT_LT(pause, kPulseMs + ScaledBound(kPulseMs));
        }
    }
}

// Four 1-ms brackets per pulse, each around its own 50 ms sleep.
void ExpectTimerBrackets(const LedsignalRun& run, size_t pulses) {
    ASSERT_EQ(run.timerCalls.size(), pulses * 4 * 2);
    for (size_t i = 0; i < run.timerCalls.size(); i += 2) {
        const TimerCall& begin = run.timerCalls[i];
        const TimerCall& end = run.timerCalls[i + 1];
        EXPECT_TRUE(begin.begin && !end.begin) << "call " << i;
        EXPECT_EQ(begin.period, 1u);
        EXPECT_EQ(end.period, 1u);
        const double bracket = end.milliseconds - begin.milliseconds;
        EXPECT_GE(bracket, 49.5) << "the 50 ms sleep lies inside";
        EXPECT_LT(bracket, 150);
    }
}

void ExpectRun(const LedsignalRun& run) {
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0u);
    ExpectWellFormedPulses(run);
    const std::vector<DWORD> pulses = Pulses(run.events);
    ExpectTimerBrackets(run, pulses.size());
    const Phases phases = Split(pulses);
    ASSERT_FALSE(phases.middle.empty()) << "ten Scroll and six Num pulses in a row";

    // Switching on visits Caps, Scroll, Num in this order, each at most once, and pulses
    // every lock that was off.
    std::vector<DWORD> order = {C, S, N};
    EXPECT_TRUE(std::includes(order.begin(), order.end(), phases.on.begin(), phases.on.end(),
                              [&](DWORD a, DWORD b) {
                                  return std::find(order.begin(), order.end(), a) <
                                         std::find(order.begin(), order.end(), b);
                              }));
    EXPECT_TRUE(run.before.caps || Toggled(phases.on, C));
    EXPECT_TRUE(run.before.scroll || Toggled(phases.on, S));
    EXPECT_TRUE(run.before.num || Toggled(phases.on, N));

    // Switching off pulses exactly the locks that are on at that moment, Caps first.
    const bool capsOn = run.before.caps != Toggled(phases.on, C);
    const bool scrollOn = run.before.scroll != Toggled(phases.on, S);
    std::vector<DWORD> off;
    if (capsOn) {
        off.push_back(C);
    }
    if (scrollOn) {
        off.push_back(S);
    }
    EXPECT_THAT(phases.off, ElementsAreArray(off));
    EXPECT_FALSE(run.after.caps);
    EXPECT_FALSE(run.after.scroll);
    EXPECT_EQ(run.after.num, run.before.num != Toggled(phases.on, N));
}

TEST(LedsignalRuns, FromAllLocksOffEveryLockIsPulsedOnAndTheRunEndsAsIntended) {
    const LedsignalRun run = RunLedsignal({false, false, false});
    ExpectRun(run);
    std::vector<DWORD> expected = {C, S, N};
    const std::vector<DWORD> middle = Middle();
    expected.insert(expected.end(), middle.begin(), middle.end());
    expected.insert(expected.end(), {C, S});
    EXPECT_THAT(Pulses(run.events), ElementsAreArray(expected));
    EXPECT_TRUE(run.after.num);
}

TEST(LedsignalRuns, FromAllLocksOn) {
    ExpectRun(RunLedsignal({true, true, true}));
}

TEST(LedsignalRuns, FromAMixedState) {
    ExpectRun(RunLedsignal({true, false, true}));
}

} // namespace
