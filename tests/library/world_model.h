// An independent model of how Velmar.dll walks a world of HID interfaces: what
// HID_DeviceTest answers, which interface HID_OpenDevice opens and what HID_DeviceInfo
// writes into a table, predicted from the library's rules alone.
#pragma once

#include "velmar.h"

#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

enum class Openability { ReadWrite, QueryOnly, Absent };

struct ModelInterface {
    std::string name;
    Openability open = Openability::ReadWrite;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t version = 0;
    // A missing string makes its query fail.
    std::optional<std::wstring> manufacturer;
    std::optional<std::wstring> product;
    std::optional<std::wstring> serial;
    uint16_t inputLength = 0;
    uint16_t outputLength = 0;
    uint16_t featureLength = 0;
    uint32_t inputBuffers = 32;
    // Platform functions that fail for this interface, by name.
    std::set<std::string> failures;

    bool Fails(const std::string& function) const { return failures.count(function) != 0; }
};

struct ModelWorld {
    std::vector<ModelInterface> interfaces;

    // The world in the simulator's text format.
    std::string Text() const;
};

// What a caller passes as the identity of a device; only the low 16 bits of each value count.
struct Identity {
    int productId;
    int vendorId;
    int version;
};

bool PredictDeviceTest(const ModelWorld& world, const Identity& identity, int index);
// The name of the interface whose handle HID_OpenDevice returns, or nothing for a null handle.
std::optional<std::string> PredictOpenDevice(const ModelWorld& world, const Identity& identity,
                                             int index);
// How many interfaces HID_DeviceTest and HID_OpenDevice count as matches of `identity`.
int CountTestMatches(const ModelWorld& world, const Identity& identity);
int CountOpenMatches(const ModelWorld& world, const Identity& identity);

// One table entry as the caller sees it; a string that is nothing stands for a null pointer.
struct ExpectedEntry {
    std::array<USHORT, 7> numbers{}; // the seven USHORT fields in declaration order
    std::optional<std::string> manufacturer;
    std::optional<std::string> product;
    std::optional<std::string> serialNumber;
};

struct ExpectedTable {
    USHORT count = 0;
    std::array<ExpectedEntry, VELMAR_TABLE_ENTRIES> entries;
};

// Applies HID_DeviceInfo to the table as it stands and returns the call's result.
BOOL PredictDeviceInfo(const ModelWorld& world, ExpectedTable& table);

// `text` in the active ANSI code page, converted as the platform converts it.
std::string PlatformAnsi(const std::wstring& text);
