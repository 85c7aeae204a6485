// The time HID_DeviceTest takes to walk worlds of 1, 16 and 256 interfaces in search of an
// absent device, against a plain loop in this program that makes the same platform calls
// directly (plain_walk.cpp).
#include "calls_of.h"
#include "plain_walk.h"
#include "summary_line.h"
#include "support/simulated_world.h"
#include "support/velmar_library.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

// Nobody makes this device.
constexpr USHORT kAbsentProductId = 0xBEEF;
constexpr USHORT kAbsentVendorId = 0xDEAD;
constexpr int kRuns = 9;
// Interfaces visited in one timed run, whatever the world's size, so that each run of a
// small world is long enough to time; a large world gets at least kMinRoundsPerRun rounds,
// since a whole walk of it swings more than twofold from one call to the next under Wine.
constexpr int kInterfacesPerRun = 2048;
constexpr int kMinRoundsPerRun = 32;

std::string WorldOfInterfaces(int count) {
    std::string text;
    char line[64];
    for (int i = 0; i < count; ++i) {
        std::snprintf(line, sizeof line, "interface i%d vid=1234 pid=%04X\n", i, i);
        text += line;
    }
    return text;
}

// The value below which `fraction` of the values lie.
double Quantile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5)];
}

double Median(const std::vector<double>& values) {
    return Quantile(values, 0.5);
}

double Microseconds(const LARGE_INTEGER& start, const LARGE_INTEGER& end) {
    static const double ticksPerMicrosecond = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1e6;
    }();
    return static_cast<double>(end.QuadPart - start.QuadPart) / ticksPerMicrosecond;
}

double TimeOneCall(const std::function<void()>& call) {
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    call();
    QueryPerformanceCounter(&end);
    return Microseconds(start, end);
}

struct WalkTimes {
    std::vector<double> libraryRuns; // microseconds per call, one value per run
    std::vector<double> rawRuns;
    std::vector<double> pairRatios; // library/raw of every two calls timed side by side
};

// One run: `rounds` rounds of one call of each, taking turns at going first. Wine's file
// opens, most of a walk's time, swing between a fast and a slow mode from one moment to the
// next; two calls timed side by side meet the same moment, where runs timed one after the
// other would not, so the ratio is taken pair by pair. The journal is emptied before each
// round, untimed, so that every call finds the simulator alike.
void TimeRun(const SimulatedWorld& world, const std::function<void()>& library,
             const std::function<void()>& raw, int rounds, WalkTimes& times) {
    double libraryTotal = 0;
    double rawTotal = 0;
    for (int round = 0; round < rounds; ++round) {
        world.ClearJournal();
        double libraryTime, rawTime;
        if (round % 2 == 0) {
            libraryTime = TimeOneCall(library);
            rawTime = TimeOneCall(raw);
        } else {
            rawTime = TimeOneCall(raw);
            libraryTime = TimeOneCall(library);
        }
        libraryTotal += libraryTime;
        rawTotal += rawTime;
        times.pairRatios.push_back(libraryTime / rawTime);
    }
    times.libraryRuns.push_back(libraryTotal / rounds);
    times.rawRuns.push_back(rawTotal / rounds);
}

// The journal with the set numbers taken out: each walk gets a set of its own.
std::vector<std::string> CallsWithoutSetNumbers(const SimulatedWorld& world,
                                                const std::function<void()>& call) {
    std::vector<std::string> lines = CallsOf(world, call);
    for (std::string& line : lines) {
        for (size_t at = line.find("set:"); at != std::string::npos;
             at = line.find("set:", at + 4)) {
            const size_t digits = line.find_first_not_of("0123456789", at + 4);
            line.erase(at + 4, (digits == std::string::npos ? line.size() : digits) - (at + 4));
        }
    }
    return lines;
}

// The figures for the benchmarks' summary, one per world.
struct SummaryFigure {
    std::string figure;
    std::string measured;
    bool met;
};

std::vector<SummaryFigure> PrintWalkCost(const VelmarLibrary& v, const RawPlatform& platform) {
    std::vector<SummaryFigure> summary;
    std::printf("Walk cost: HID_DeviceTest for an absent device against a plain loop of the "
                "same platform calls.\nTimes: median of %d runs after a warm-up run; ratio: "
                "median over the calls of both timed side by side\n",
                kRuns);
    std::printf("  %10s %8s %12s %12s %10s %10s %11s %19s  %s\n", "interfaces", "calls",
                "library us", "raw us", "library us", "raw us", "library/raw", "middle half",
                "goal");
    std::printf("  %10s %8s %12s %12s %10s %10s %11s %19s\n", "", "per walk", "per call",
                "per call", "per iface", "per iface", "", "of the pairs");
    for (int interfaces : {1, 16, 256}) {
        SimulatedWorld world(WorldOfInterfaces(interfaces));
        const auto library = [&v] {
            v.HID_DeviceTest(kAbsentProductId, kAbsentVendorId, VELMAR_ANY_VERSION, 0);
        };
        const auto raw = [&platform] {
            RawDeviceTest(platform, kAbsentProductId, kAbsentVendorId);
        };
        const std::vector<std::string> libraryCalls = CallsWithoutSetNumbers(world, library);
        const bool sameCalls = libraryCalls == CallsWithoutSetNumbers(world, raw);

        const int rounds = std::max(kMinRoundsPerRun, kInterfacesPerRun / interfaces);
        WalkTimes warmUp;
        TimeRun(world, library, raw, rounds, warmUp);
        WalkTimes times;
        for (int run = 0; run < kRuns; ++run) {
            TimeRun(world, library, raw, rounds, times);
        }
        const double libraryMedian = Median(times.libraryRuns);
        const double rawMedian = Median(times.rawRuns);
        const double ratio = Median(times.pairRatios);
        // How far single pairs spread around the median: the noise the median stands in.
        char middleHalf[32];
        std::snprintf(middleHalf, sizeof middleHalf, "%.2f-%.2f of %zu",
                      Quantile(times.pairRatios, 0.25), Quantile(times.pairRatios, 0.75),
                      times.pairRatios.size());
        std::printf("  %10d %8zu %12.1f %12.1f %10.2f %10.2f %11.3f %19s  <= 1.05 %s%s\n",
                    interfaces, libraryCalls.size(), libraryMedian, rawMedian,
                    libraryMedian / interfaces, rawMedian / interfaces, ratio, middleHalf,
                    ratio <= 1.05 ? "met" : "MISSED",
                    sameCalls ? "" : "  (the plain loop's calls differ)");

        char figure[64], measured[64];
        std::snprintf(figure, sizeof figure, "walk time library/raw, %d interface%s", interfaces,
                      interfaces == 1 ? "" : "s");
        std::snprintf(measured, sizeof measured, "%.3f (%.1f vs %.1f us)", ratio, libraryMedian,
                      rawMedian);
        summary.push_back({figure, measured, ratio <= 1.05});
    }
    std::printf("\n");
    return summary;
}

} // namespace

int main() {
    const RawPlatform platform = LoadRawPlatform();
    for (const SummaryFigure& figure : PrintWalkCost(Velmar(), platform)) {
        PrintSummary(figure.figure.c_str(), figure.measured.c_str(), "<= 1.05", figure.met);
    }
    return 0;
}
