// Seeded random worlds: HID_DeviceTest, HID_OpenDevice and HID_DeviceInfo checked against
// an independent model of the walk rules. VELMAR_SEED=<n> replays the world of one seed.
#include "support/handle_count.h"
#include "support/simulated_world.h"
#include "support/velmar_library.h"
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

// splitmix64: the same world for the same seed on every machine and run.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}

    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(Next() % bound); }
    uint32_t Between(uint32_t low, uint32_t high) { return low + Below(high - low + 1); }
    bool Percent(uint32_t chance) { return Below(100) < chance; }
    template <typename T, size_t N>
    const T& Pick(const T (&items)[N]) {
        return items[Below(N)];
    }

private:
    uint64_t state_;
};

// ---- The generator --------------------------------------------------------------------

struct Product {
    uint16_t vendorId;
    uint16_t productId;
};

// Few identities, so that matches and repeated matches are common; one product ID under
// two vendors, so that a match needs both.
const Product kProducts[] = {{0x04D8, 0xF6F1}, {0x04D8, 0xF6F2}, {0x045E, 0xF6F1}, {0, 0}};
const uint16_t kVersions[] = {0x0100, 0x0101, 0x0000, 0xFFFF};
const char* const kFailures[] = {
    "HidD_GetAttributes",    "SetupDiGetDeviceInterfaceDetailA", "HidD_GetManufacturerString",
    "HidD_GetProductString", "HidD_GetSerialNumberString",       "HidD_GetPreparsedData",
    "HidP_GetCaps",          "HidD_GetNumInputBuffers"};
// Characters that code page 1252 has, has only as a best fit, or lacks.
const wchar_t kNonAscii[] = {0x00E9, 0x00FC, 0x20AC, 0x0152, 0x0100, 0x0416, 0x4E2D, 0x2603};

size_t InterfaceCount(Random& random) {
    const uint32_t kind = random.Below(100);
    if (kind < 5) {
        return 0;
    }
    if (kind < 75) {
        return random.Between(1, 12);
    }
    if (kind < 92) {
        return random.Between(13, 80);
    }
    return random.Between(250, 300); // around and past the walk's 256 members
}

std::wstring AsciiText(Random& random, size_t length) {
    std::wstring text;
    for (size_t i = 0; i < length; ++i) {
        text += static_cast<wchar_t>(random.Between(0x20, 0x7E));
    }
    return text;
}

std::wstring MixedText(Random& random, size_t length) {
    std::wstring text;
    for (size_t i = 0; i < length; ++i) {
        text += random.Percent(40) ? random.Pick(kNonAscii)
                                   : static_cast<wchar_t>(random.Between('a', 'z'));
    }
    return text;
}

// The longest string a device holds is 126 UTF-16 units.
std::optional<std::wstring> DeviceString(Random& random) {
    const uint32_t kind = random.Below(100);
    if (kind < 25) {
        return std::nullopt;
    }
    if (kind < 35) {
        return std::wstring();
    }
    if (kind < 70) {
        return AsciiText(random, random.Between(1, 12));
    }
    if (kind < 80) {
        return AsciiText(random, 126);
    }
    return MixedText(random, random.Percent(20) ? 126 : random.Between(1, 20));
}

uint16_t ReportLength(Random& random) {
    const uint32_t kind = random.Below(100);
    if (kind < 20) {
        return 0;
    }
    if (kind < 80) {
        return static_cast<uint16_t>(random.Between(1, 64));
    }
    return random.Percent(25) ? 0xFFFF : static_cast<uint16_t>(random.Below(0x10000));
}

uint32_t InputBuffers(Random& random) {
    const uint32_t kind = random.Below(100);
    if (kind < 40) {
        return 32;
    }
    if (kind < 70) {
        return random.Below(513);
    }
    if (kind < 85) {
        return random.Between(0x10000, 0x11170);
    }
    return static_cast<uint32_t>(random.Next());
}

ModelInterface RandomInterface(Random& random, size_t memberIndex) {
    ModelInterface device;
    device.name = "i" + std::to_string(memberIndex);
    const uint32_t open = random.Below(100);
    device.open = open < 60   ? Openability::ReadWrite
                  : open < 80 ? Openability::QueryOnly
                              : Openability::Absent;
    const Product& product = random.Pick(kProducts);
    device.vendorId = product.vendorId;
    device.productId = product.productId;
    device.version = random.Pick(kVersions);
    device.manufacturer = DeviceString(random);
    device.product = DeviceString(random);
    device.serial = DeviceString(random);
    device.inputLength = ReportLength(random);
    device.outputLength = ReportLength(random);
    device.featureLength = ReportLength(random);
    device.inputBuffers = InputBuffers(random);
    if (random.Percent(30)) {
        for (uint32_t n = random.Between(1, 3); n > 0; --n) {
            device.failures.insert(random.Pick(kFailures));
        }
    }
    return device;
}

ModelWorld GenerateWorld(uint64_t seed) {
    Random random(seed);
    ModelWorld world;
    const size_t count = InterfaceCount(random);
    for (size_t i = 0; i < count; ++i) {
        world.interfaces.push_back(RandomInterface(random, i));
    }
    return world;
}

// ---- The identities asked about -------------------------------------------------------

std::vector<Identity> IdentitiesToAsk() {
    std::vector<Identity> identities;
    for (const Product& product : kProducts) {
        for (uint16_t version : kVersions) {
            identities.push_back({product.productId, product.vendorId, version});
        }
        identities.push_back({product.productId, product.vendorId, 0x0102}); // never present
        identities.push_back({product.productId, product.vendorId, VELMAR_ANY_VERSION});
        // Only the low 16 bits count, whatever the high bits hold.
        identities.push_back(
            {product.productId | 0x30000, product.vendorId | int(0xFFFF0000), 0x2FFFF});
        identities.push_back({product.productId | 0x10000, product.vendorId, int(0xABCD0100)});
    }
    identities.push_back({0x5678, 0x1234, VELMAR_ANY_VERSION}); // a product nobody has
    identities.push_back({0xF6F2, 0x045E, VELMAR_ANY_VERSION}); // a product ID of the other vendor
    return identities;
}

// Around the first and the last match of each kind of walk, and indices whose high bits or
// sign only the low 16 bits explain.
std::vector<int> IndicesToAsk(const ModelWorld& world, const Identity& identity) {
    const int testMatches = CountTestMatches(world, identity);
    const int openMatches = CountOpenMatches(world, identity);
    const std::set<int> indices = {
        -1,          0,           1,      2,     testMatches - 1, testMatches, openMatches - 1,
        openMatches, 0x10000 + 1, -32768, 0x7FFF};
    return {indices.begin(), indices.end()};
}

struct Question {
    Identity identity;
    int index;
};

// Each question costs at most two walks over the world; a walk visits up to 256 members,
// and under Wine every visit opens a file. This many visits keep a world near a second.
constexpr size_t kVisitBudget = 6000;

// Every identity with every telling index, in an order drawn from the seed, as many as the
// budget allows: all of them in a small world, a sample in a large one.
std::vector<Question> QuestionsToAsk(const ModelWorld& world, uint64_t seed) {
    std::vector<Question> questions;
    for (const Identity& identity : IdentitiesToAsk()) {
        for (int index : IndicesToAsk(world, identity)) {
            questions.push_back({identity, index});
        }
    }
    Random random(seed ^ 0x5155455354494F4Eull); // a stream apart from the world's own
    for (size_t i = questions.size(); i > 1; --i) {
        std::swap(questions[i - 1], questions[random.Below(static_cast<uint32_t>(i))]);
    }
    const size_t walked = std::min<size_t>(world.interfaces.size(), VELMAR_TABLE_ENTRIES);
    const size_t affordable = kVisitBudget / (2 * (walked + 1));
    if (questions.size() > affordable) {
        questions.resize(affordable);
    }
    return questions;
}

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
