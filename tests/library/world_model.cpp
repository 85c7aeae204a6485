#include "world_model.h"

#include <cstdio>

namespace {

// The walk asks the platform for member indices 0 to 255 and no further.
constexpr size_t kWalkedMembers = 256;
constexpr uint16_t kAnyVersion = 0xFFFF;

enum class Access { Query, ReadWrite };

size_t WalkedCount(const ModelWorld& world) {
    return world.interfaces.size() < kWalkedMembers ? world.interfaces.size() : kWalkedMembers;
}

// An interface without a path (its detail query fails) is never opened.
bool Opens(const ModelInterface& device, Access access) {
    if (device.Fails("SetupDiGetDeviceInterfaceDetailA") || device.open == Openability::Absent) {
        return false;
    }
    return access == Access::Query || device.open == Openability::ReadWrite;
}

bool Matches(const ModelInterface& device, Access access, const Identity& identity) {
    const uint16_t version = static_cast<uint16_t>(identity.version);
    return Opens(device, access) && !device.Fails("HidD_GetAttributes") &&
           device.productId == static_cast<uint16_t>(identity.productId) &&
           device.vendorId == static_cast<uint16_t>(identity.vendorId) &&
           (version == kAnyVersion || device.version == version);
}

// The matching interfaces in enumeration order.
std::vector<const ModelInterface*> MatchesOf(const ModelWorld& world, Access access,
                                             const Identity& identity) {
    std::vector<const ModelInterface*> matches;
    for (size_t i = 0; i < WalkedCount(world); ++i) {
        if (Matches(world.interfaces[i], access, identity)) {
            matches.push_back(&world.interfaces[i]);
        }
    }
    return matches;
}

std::string DeviceString(const ModelInterface& device, const std::optional<std::wstring>& text,
                         const std::string& function) {
    return text && !device.Fails(function) ? PlatformAnsi(*text) : std::string();
}

void FillEntry(const ModelInterface& device, ExpectedEntry& entry) {
    const bool attributes = !device.Fails("HidD_GetAttributes");
    const bool caps = !device.Fails("HidD_GetPreparsedData") && !device.Fails("HidP_GetCaps");
    const bool buffers = !device.Fails("HidD_GetNumInputBuffers");
    entry.numbers = {
        static_cast<USHORT>(attributes ? device.vendorId : 0),
        static_cast<USHORT>(attributes ? device.productId : 0),
        static_cast<USHORT>(attributes ? device.version : 0),
        static_cast<USHORT>(buffers ? device.inputBuffers & 0xFFFF : 0),
        static_cast<USHORT>(caps ? device.inputLength : 0),
        static_cast<USHORT>(caps ? device.outputLength : 0),
        static_cast<USHORT>(caps ? device.featureLength : 0),
    };
    entry.manufacturer = DeviceString(device, device.manufacturer, "HidD_GetManufacturerString");
    entry.product = DeviceString(device, device.product, "HidD_GetProductString");
    entry.serialNumber = DeviceString(device, device.serial, "HidD_GetSerialNumberString");
}

std::string Hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X", value);
    return text;
}

// A double-quoted world string: printable ASCII as itself, everything else as \uXXXX.
std::string Quoted(const std::wstring& text) {
    std::string quoted = "\"";
    for (wchar_t unit : text) {
        if (unit == L'"' || unit == L'\\') {
            quoted += '\\';
            quoted += static_cast<char>(unit);
        } else if (unit >= 0x20 && unit < 0x7F) {
            quoted += static_cast<char>(unit);
        } else {
            quoted += "\\u" + Hex(static_cast<unsigned>(unit));
        }
    }
    return quoted + "\"";
}

const char* OpenSetting(Openability open) {
    switch (open) {
    case Openability::QueryOnly:
        return "query";
    case Openability::Absent:
        return "absent";
    default:
        return "readwrite";
    }
}

std::string InterfaceLine(const ModelInterface& device) {
    std::string line = "interface " + device.name + " open=" + OpenSetting(device.open) +
                       " vid=" + Hex(device.vendorId) + " pid=" + Hex(device.productId) +
                       " version=" + Hex(device.version);
    if (device.manufacturer) {
        line += " manufacturer=" + Quoted(*device.manufacturer);
    }
    if (device.product) {
        line += " product=" + Quoted(*device.product);
    }
    if (device.serial) {
        line += " serial=" + Quoted(*device.serial);
    }
    line += " input=" + std::to_string(device.inputLength) +
            " output=" + std::to_string(device.outputLength) +
            " feature=" + std::to_string(device.featureLength) +
            " buffers=" + std::to_string(device.inputBuffers);
    std::string failures;
    for (const std::string& function : device.failures) {
        failures += (failures.empty() ? " fail=" : ",") + function;
    }
    return line + failures + "\n";
}

} // namespace

std::string ModelWorld::Text() const {
    std::string text;
    for (const ModelInterface& device : interfaces) {
        text += InterfaceLine(device);
    }
    return text;
}

int CountTestMatches(const ModelWorld& world, const Identity& identity) {
    return static_cast<int>(MatchesOf(world, Access::Query, identity).size());
}

int CountOpenMatches(const ModelWorld& world, const Identity& identity) {
    return static_cast<int>(MatchesOf(world, Access::ReadWrite, identity).size());
}

// Matches before the wanted one are counted; the first match once the count has reached
// the index (read as a signed 16-bit number) answers yes.
bool PredictDeviceTest(const ModelWorld& world, const Identity& identity, int index) {
    const int wanted = static_cast<int16_t>(index);
    const size_t matches = MatchesOf(world, Access::Query, identity).size();
    for (int counted = 0; static_cast<size_t>(counted) < matches; ++counted) {
        if (counted >= wanted) {
            return true;
        }
    }
    return false;
}

// The match whose count equals the index's low 16 bits is the one opened.
std::optional<std::string> PredictOpenDevice(const ModelWorld& world, const Identity& identity,
                                             int index) {
    const int wanted = static_cast<uint16_t>(index);
    int counted = 0;
    for (const ModelInterface* device : MatchesOf(world, Access::ReadWrite, identity)) {
        if (counted == wanted) {
            return device->name;
        }
        ++counted;
    }
    return std::nullopt;
}

// Entries of interfaces that open are rewritten; every other entry keeps what it held.
BOOL PredictDeviceInfo(const ModelWorld& world, ExpectedTable& table) {
    table.count = 0;
    for (size_t i = 0; i < WalkedCount(world); ++i) {
        if (Opens(world.interfaces[i], Access::Query)) {
            FillEntry(world.interfaces[i], table.entries[i]);
            table.count = static_cast<USHORT>(i + 1);
        }
    }
    return world.interfaces.empty() ? FALSE : TRUE;
}

std::string PlatformAnsi(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int units = static_cast<int>(text.size());
    const int size =
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), units, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), units, &ansi[0], size, nullptr, nullptr);
    return ansi;
}
