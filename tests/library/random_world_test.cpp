// Seeded random worlds: HID_DeviceTest, HID_OpenDevice and HID_DeviceInfo checked against
// an independent model of the walk rules. VELMAR_SEED=<n> replays the world of one seed.
#include "support/handle_count.h"
#include "support/simulated_world.h"
#include "support/velmar_library.h"
#include "random_world.h"
#include "world_model.h"

#include "devsim.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// ---- The checker ----------------------------------------------------------------------

struct SweepTotals {
    int worlds = 0;
    long checks = 0;
};
SweepTotals totals;

std::string CallText(const char* function, const Identity& identity, int index) {
    char text[128];
    std::snprintf(text, sizeof text, "%s(0x%X, 0x%X, 0x%X, %d)", function,
                  unsigned(identity.productId), unsigned(identity.vendorId),
                  unsigned(identity.version), index);
    return text;
}

// Non-pointer bytes of a fresh table, which an entry keeps until the library fills it.
constexpr unsigned char kMarker = 0x5A;
constexpr USHORT kMarkerWord = 0x5A5A;

struct GuardedTable {
    HidDeviceTable table;
    unsigned char after[64];
};

void MarkFresh(GuardedTable& guarded, ExpectedTable& expected) {
    std::memset(&guarded, 0, sizeof guarded);
    guarded.table.Count = kMarkerWord;
    expected.count = kMarkerWord;
    for (size_t i = 0; i < VELMAR_TABLE_ENTRIES; ++i) {
        std::memset(&guarded.table.Entries[i], kMarker, offsetof(HidDeviceEntry, Manufacturer));
        expected.entries[i] = ExpectedEntry();
        expected.entries[i].numbers.fill(kMarkerWord);
    }
}

std::string Shown(const char* text) {
    return text ? "\"" + std::string(text) + "\"" : "null";
}

std::string Shown(const std::optional<std::string>& text) {
    return text ? "\"" + *text + "\"" : "null";
}

bool SameString(const char* actual, const std::optional<std::string>& expected) {
    return expected ? actual != nullptr && *expected == actual : actual == nullptr;
}

class WorldChecker {
public:
    WorldChecker(const ModelWorld& model, const SimulatedWorld& world)
        : model_(model), world_(world) {}

    void CheckQuestion(const Question& question) {
        CheckDeviceTest(question.identity, question.index);
        CheckOpenDevice(question.identity, question.index);
        world_.ClearJournal();
    }

    // A fresh table, then the same table filled again.
    void CheckDeviceInfo() {
        auto guarded = std::make_unique<GuardedTable>();
        ExpectedTable expected;
        MarkFresh(*guarded, expected);
        CheckTableFill(*guarded, expected, "fresh table");
        CheckTableFill(*guarded, expected, "refilled table");
    }

    void CheckNothingLeftOpen(int handlesBefore) {
        const int handlesAfter = CountOpenHandles();
        Expect(handlesAfter == handlesBefore,
               "handles open after the checks: " + std::to_string(handlesAfter) + ", before " +
                   std::to_string(handlesBefore));
        Expect(DevSim_LiveDeviceInfoSets() == 0, "no device information set stays alive");
        Expect(DevSim_OutstandingPreparsedData() == 0, "no preparsed data stays allocated");
    }

    // A wrong library repeats its mistake many times; the first ones tell the story.
    bool GaveUp() const { return mismatches_.size() >= kMismatchesShown; }

    // Reported only once the world is done: the first failure report opens handles of
    // its own, which the count of open handles must not see.
    void ReportMismatches() const {
        for (const std::string& mismatch : mismatches_) {
            ADD_FAILURE() << "the library disagrees with the model: " << mismatch;
        }
    }

private:
    static constexpr size_t kMismatchesShown = 12;

    void Expect(bool agrees, const std::string& what) {
        ++totals.checks;
        if (!agrees && !GaveUp()) {
            mismatches_.push_back(what);
        }
    }

    void CheckDeviceTest(const Identity& identity, int index) {
        const BOOL expected = PredictDeviceTest(model_, identity, index);
        const BOOL actual =
            Velmar().HID_DeviceTest(identity.productId, identity.vendorId, identity.version, index);
        Expect(actual == expected, CallText("HID_DeviceTest", identity, index) + " = " +
                                       std::to_string(actual) + ", expected " +
                                       std::to_string(expected));
    }

    void CheckOpenDevice(const Identity& identity, int index) {
        const std::optional<std::string> expected = PredictOpenDevice(model_, identity, index);
        HANDLE handle =
            Velmar().HID_OpenDevice(identity.productId, identity.vendorId, identity.version, index);
        const std::string call = CallText("HID_OpenDevice", identity, index);
        if (!expected) {
            Expect(handle == nullptr, call + " opened a device, expected none");
        } else {
            Expect(handle != nullptr && handle != INVALID_HANDLE_VALUE &&
                       world_.HandleRefersTo(handle, *expected),
                   call + " did not open interface " + *expected);
        }
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
            Velmar().HID_CloseDevice(handle);
        }
    }

    void CheckTableFill(GuardedTable& guarded, ExpectedTable& expected, const std::string& what) {
        const BOOL expectedResult = PredictDeviceInfo(model_, expected);
        const BOOL result = Velmar().HID_DeviceInfo(&guarded.table);
        Expect(result == expectedResult, "HID_DeviceInfo on the " + what + " = " +
                                             std::to_string(result) + ", expected " +
                                             std::to_string(expectedResult));
        Expect(guarded.table.Count == expected.count,
               "Count of the " + what + " = " + std::to_string(guarded.table.Count) +
                   ", expected " + std::to_string(expected.count));
        for (size_t i = 0; i < VELMAR_TABLE_ENTRIES; ++i) {
            CheckEntry(guarded.table.Entries[i], expected.entries[i],
                       "entry " + std::to_string(i) + " of the " + what);
        }
        bool guardIntact = true;
        for (unsigned char byte : guarded.after) {
            guardIntact = guardIntact && byte == 0;
        }
        Expect(guardIntact, "the bytes after the " + what + " are untouched");
    }

    void CheckEntry(const HidDeviceEntry& actual, const ExpectedEntry& expected,
                    const std::string& what) {
        std::array<USHORT, 7> numbers;
        std::memcpy(numbers.data(), &actual, sizeof numbers);
        std::ostringstream shown;
        for (size_t n = 0; n < numbers.size(); ++n) {
            shown << (n ? " " : "") << std::hex << numbers[n] << "/" << expected.numbers[n];
        }
        Expect(numbers == expected.numbers, what + ": numbers (actual/expected) " + shown.str());
        Expect(SameString(actual.Manufacturer, expected.manufacturer),
               what + ": Manufacturer " + Shown(actual.Manufacturer) + ", expected " +
                   Shown(expected.manufacturer));
        Expect(SameString(actual.Product, expected.product),
               what + ": Product " + Shown(actual.Product) + ", expected " +
                   Shown(expected.product));
        Expect(SameString(actual.SerialNumber, expected.serialNumber),
               what + ": SerialNumber " + Shown(actual.SerialNumber) + ", expected " +
                   Shown(expected.serialNumber));
    }

    const ModelWorld& model_;
    const SimulatedWorld& world_;
    std::vector<std::string> mismatches_;
};

// ---- The sweep ------------------------------------------------------------------------

std::vector<uint64_t> Seeds() {
    if (const char* replay = std::getenv("VELMAR_SEED")) {
        return {std::strtoull(replay, nullptr, 0)};
    }
    std::vector<uint64_t> seeds;
    for (uint64_t seed = 1; seed <= 40; ++seed) {
        seeds.push_back(seed);
    }
    return seeds;
}

class SweepSummary : public ::testing::Environment {
public:
    void TearDown() override {
        std::printf("random worlds: %d worlds, %ld checks\n", totals.worlds, totals.checks);
    }
};

::testing::Environment* const kSummary = ::testing::AddGlobalTestEnvironment(new SweepSummary);

class RandomWorld : public ::testing::TestWithParam<uint64_t> {};

TEST_P(RandomWorld, LibraryAgreesWithTheModel) {
    const uint64_t seed = GetParam();
    const ModelWorld model = GenerateWorld(seed);
    const std::string text = model.Text();
    SimulatedWorld world(text);
    Velmar(); // the library's own handles, once loaded, are not the walk's
    const int handlesBefore = CountOpenHandles();
    ++totals.worlds;

    WorldChecker checker(model, world);
    for (const Question& question : QuestionsToAsk(model, seed)) {
        if (checker.GaveUp()) {
            break;
        }
        checker.CheckQuestion(question);
    }
    checker.CheckDeviceInfo();
    checker.CheckNothingLeftOpen(handlesBefore);
    checker.ReportMismatches();

    if (HasFailure()) {
        std::printf(
            "seed %llu failed (%zu interfaces); replay it with\n"
            "  VELMAR_SEED=%llu ctest --test-dir <build folder> -R library_random_worlds -V\n"
            "the world:\n%s",
            static_cast<unsigned long long>(seed), model.interfaces.size(),
            static_cast<unsigned long long>(seed), text.c_str());
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomWorld, ::testing::ValuesIn(Seeds()),
                         [](const ::testing::TestParamInfo<uint64_t>& info) {
                             return "seed_" + std::to_string(info.param);
                         });

} // namespace
