#include "world.h"

#include "world_faults.h"
#include "world_line.h"
#include "world_values.h"

#include <sstream>

namespace {

bool IsValidName(const std::string& name) {
    if (name.empty()) {
        return false;
    }
    for (char c : name) {
        const bool valid = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!valid) {
            return false;
        }
    }
    return true;
}

// Each Read* takes one kind of value and answers what it expected instead, or nothing when
// the value was right.
std::string ReadHex16(const Setting& s, USHORT& value) {
    unsigned long number;
    if (s.quoted || !ParseHexNumber(s.value, 4, number)) {
        return "1 to 4 hex digits";
    }
    value = static_cast<USHORT>(number);
    return "";
}

std::string ReadDecimal16(const Setting& s, USHORT& value) {
    unsigned long number;
    if (s.quoted || !ParseDecimalNumber(s.value, 0xFFFF, number)) {
        return "a decimal number up to 65535";
    }
    value = static_cast<USHORT>(number);
    return "";
}

std::string ReadDecimal32(const Setting& s, ULONG& value) {
    unsigned long number;
    if (s.quoted || !ParseDecimalNumber(s.value, 0xFFFFFFFFul, number)) {
        return "a decimal number up to 4294967295";
    }
    value = number;
    return "";
}

std::string ReadBytes(const Setting& s, std::string& bytes) {
    return !s.quoted && ParseHexBytes(s.value, bytes) ? "" : "hex bytes such as 00AA01";
}

std::string ReadText(const Setting& s, std::optional<std::wstring>& text) {
    std::wstring value;
    if (!s.quoted || !ParseQuotedText(s.value, value)) {
        return "a quoted UTF-8 string (escapes \\\" \\\\ \\uXXXX)";
    }
    text = value;
    return "";
}

std::string ReadOpen(const Setting& s, OpenBehaviour& open) {
    if (s.value == "readwrite") {
        open = OpenBehaviour::ReadWrite;
    } else if (s.value == "query") {
        open = OpenBehaviour::QueryOnly;
    } else if (s.value == "absent") {
        open = OpenBehaviour::Absent;
    } else {
        return "readwrite, query or absent";
    }
    return "";
}

std::string ReadIndexedString(const Setting& s, SimulatedInterface& device) {
    unsigned long index;
    const std::string number = s.key.substr(std::string("string.").size());
    const bool hex = number.compare(0, 2, "0x") == 0;
    if (hex ? !ParseHexNumber(number.substr(2), 8, index)
            : !ParseDecimalNumber(number, 0xFFFFFFFFul, index)) {
        return "an index after 'string.', decimal or 0x and hex";
    }
    std::optional<std::wstring> text;
    const std::string problem = ReadText(s, text);
    if (problem.empty()) {
        device.indexedStrings[index] = *text;
    }
    return problem;
}

// Whether a setting's value is what its key expects; if not, `error` says so.
bool Accept(const Setting& s, const std::string& expected, std::string& error) {
    if (!expected.empty()) {
        error =
            s.key + "=" + (s.quoted ? "\"" + s.value + "\"" : s.value) + ": expected " + expected;
    }
    return expected.empty();
}

bool UnknownKey(const Setting& s, const char* item, std::string& error) {
    error = "unknown key '" + s.key + "' for " + item;
    return false;
}

bool ApplyInterfaceSetting(const Setting& s, SimulatedInterface& device, std::string& error) {
    const std::string& k = s.key;
    if (k == "vid") {
        return Accept(s, ReadHex16(s, device.vendorId), error);
    }
    if (k == "pid") {
        return Accept(s, ReadHex16(s, device.productId), error);
    }
    if (k == "version") {
        return Accept(s, ReadHex16(s, device.versionNumber), error);
    }
    if (k == "open") {
        return Accept(s, ReadOpen(s, device.open), error);
    }
    if (k == "manufacturer") {
        return Accept(s, ReadText(s, device.manufacturer), error);
    }
    if (k == "product") {
        return Accept(s, ReadText(s, device.product), error);
    }
    if (k == "serial") {
        return Accept(s, ReadText(s, device.serialNumber), error);
    }
    if (k.compare(0, 7, "string.") == 0) {
        return Accept(s, ReadIndexedString(s, device), error);
    }
    if (k == "usage_page") {
        return Accept(s, ReadHex16(s, device.usagePage), error);
    }
    if (k == "usage") {
        return Accept(s, ReadHex16(s, device.usage), error);
    }
    if (k == "input") {
        return Accept(s, ReadDecimal16(s, device.inputReportLength), error);
    }
    if (k == "output") {
        return Accept(s, ReadDecimal16(s, device.outputReportLength), error);
    }
    if (k == "feature") {
        return Accept(s, ReadDecimal16(s, device.featureReportLength), error);
    }
    if (k == "buffers") {
        return Accept(s, ReadDecimal32(s, device.inputBuffers), error);
    }
    if (k == "feature_data") {
        return Accept(s, ReadBytes(s, device.featureData), error);
    }
    if (k == "input_data") {
        return Accept(s, ReadBytes(s, device.inputData), error);
    }
    if (k == "read_data") {
        return Accept(s, ReadBytes(s, device.readData), error);
    }
    if (k == "fail") {
        return Accept(s, ReadFailingFunctions(s, device.failing), error);
    }
    if (k == "scribble") {
        return Accept(s, ReadScribblingFunctions(s, device.scribbling), error);
    }
    return UnknownKey(s, "an interface", error);
}

std::string ReadClassDevs(const Setting& s, ClassDevsAnswer& answer) {
    if (s.value == "ok") {
        answer = ClassDevsAnswer::Set;
    } else if (s.value == "null") {
        answer = ClassDevsAnswer::Null;
    } else if (s.value == "invalid") {
        answer = ClassDevsAnswer::Invalid;
    } else {
        return "ok, null or invalid";
    }
    return "";
}

bool ApplyWorldSetting(const Setting& s, World& world, std::string& error) {
    if (s.key != "classdevs") {
        return UnknownKey(s, "the world", error);
    }
    return Accept(s, ReadClassDevs(s, world.classDevs), error);
}

bool AddInterface(const WorldLine& line, World& world, std::string& error) {
    if (!IsValidName(line.subject)) {
        error = line.subject.empty()
                    ? "an interface needs a name"
                    : "'" + line.subject + "' is no interface name (letters, digits, _ and -)";
        return false;
    }
    for (const SimulatedInterface& other : world.interfaces) {
        if (other.name == line.subject) {
            error = "the interface name '" + line.subject + "' is used twice";
            return false;
        }
    }
    SimulatedInterface device;
    device.name = line.subject;
    for (const Setting& s : line.settings) {
        if (!ApplyInterfaceSetting(s, device, error)) {
            return false;
        }
    }
    world.interfaces.push_back(device);
    return true;
}

bool ApplyLine(const WorldLine& line, World& world, std::string& error) {
    if (line.word == "interface") {
        return AddInterface(line, world, error);
    }
    if (line.word != "world") {
        error = "expected 'world' or 'interface', found '" + line.word + "'";
        return false;
    }
    if (!line.subject.empty()) {
        error = "expected key=value, found '" + line.subject + "'";
        return false;
    }
    for (const Setting& s : line.settings) {
        if (!ApplyWorldSetting(s, world, error)) {
            return false;
        }
    }
    return true;
}

} // namespace

bool ParseWorld(const std::string& text, World& world, std::string& error) {
    world = World();
    std::stringstream lines(text);
    std::string lineText;
    for (int number = 1; std::getline(lines, lineText); ++number) {
        WorldLine line;
        if (!SplitWorldLine(lineText, line, error) ||
            (!line.word.empty() && !ApplyLine(line, world, error))) {
            error = "line " + std::to_string(number) + ": " + error;
            world = World();
            return false;
        }
    }
    return true;
}
