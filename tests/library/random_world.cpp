#include "random_world.h"

#include <algorithm>
#include <set>
#include <string>

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

// Each question costs at most two walks over the world; a walk visits up to 256 members,
// and under Wine every visit opens a file. This many visits keep a world near a second.
constexpr size_t kVisitBudget = 6000;

} // namespace

ModelWorld GenerateWorld(uint64_t seed) {
    Random random(seed);
    ModelWorld world;
    const size_t count = InterfaceCount(random);
    for (size_t i = 0; i < count; ++i) {
        world.interfaces.push_back(RandomInterface(random, i));
    }
    return world;
}

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
