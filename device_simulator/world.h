// The simulated world: the HID interfaces that the platform presents, in enumeration
// order, with everything the platform can be asked about them.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

enum class OpenBehaviour {
    ReadWrite, // an ordinary device
    QueryOnly, // opens for access 0 only, as the platform keeps keyboards and mice
    Absent,    // the reported path names nothing
};

enum class ClassDevsAnswer { Set, Null, Invalid };

struct SimulatedInterface {
    std::string name;
    USHORT vendorId = 0;
    USHORT productId = 0;
    USHORT versionNumber = 0;
    OpenBehaviour open = OpenBehaviour::ReadWrite;
    // A string the device lacks is absent; the platform's query for it fails.
    std::optional<std::wstring> manufacturer;
    std::optional<std::wstring> product;
    std::optional<std::wstring> serialNumber;
    std::map<ULONG, std::wstring> indexedStrings;
    USHORT usagePage = 0;
    USHORT usage = 0;
    USHORT inputReportLength = 0;
    USHORT outputReportLength = 0;
    USHORT featureReportLength = 0;
    ULONG inputBuffers = 32;
    std::string featureData;
    std::string inputData;
    std::string readData;
    // Platform functions that fail for this interface; the scribbling ones write 0xA5 over
    // their output record first, as a faulty driver may.
    std::set<std::string> failing;
    std::set<std::string> scribbling;

    bool Fails(const char* function) const {
        return failing.count(function) != 0 || Scribbles(function);
    }
    bool Scribbles(const char* function) const { return scribbling.count(function) != 0; }
};

struct World {
    ClassDevsAnswer classDevs = ClassDevsAnswer::Set;
    std::vector<SimulatedInterface> interfaces;
};

// Reads a world's text. On a mistake returns false and says where in `error`.
bool ParseWorld(const std::string& text, World& world, std::string& error);
