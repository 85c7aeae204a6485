#include "world.h"

#include <cstdlib>
#include <sstream>

namespace {

const char* const kFailableFunctions[] = {
    "HidD_GetAttributes",
    "HidD_GetPreparsedData",
    "HidP_GetCaps",
    "HidD_FreePreparsedData",
    "HidD_GetNumInputBuffers",
    "HidD_GetManufacturerString",
    "HidD_GetProductString",
    "HidD_GetSerialNumberString",
    "HidD_GetIndexedString",
    "HidD_GetFeature",
    "HidD_SetFeature",
    "HidD_GetInputReport",
    "HidD_SetOutputReport",
    "SetupDiGetDeviceInterfaceDetailA",
};

struct Setting {
    std::string key;
    std::string value;
    bool quoted = false;
};

class LineReader {
public:
    explicit LineReader(const std::string& line) : line_(line) {}

    // Splits the line into a leading word and key=value settings; a '#' outside quotes
    // ends the line.
    bool Read(std::string& word, std::vector<Setting>& settings, std::string& error) {
        std::vector<std::string> tokens;
        std::vector<bool> quoted;
        std::string token;
        bool inToken = false, tokenQuoted = false;
        for (size_t i = 0; i < line_.size(); ++i) {
            const char c = line_[i];
            if (c == '#') {
                break;
            }
            if (c == ' ' || c == '\t' || c == '\r') {
                if (inToken) {
                    tokens.push_back(token);
                    quoted.push_back(tokenQuoted);
                    token.clear();
                    inToken = tokenQuoted = false;
                }
                continue;
            }
            inToken = true;
            if (c != '"') {
                token += c;
                continue;
            }
            // A quoted value runs to the next unescaped quote; escapes are kept for later.
            tokenQuoted = true;
            size_t end = i + 1;
            while (end < line_.size() && line_[end] != '"') {
                end += line_[end] == '\\' ? 2 : 1;
            }
            if (end >= line_.size()) {
                error = "unterminated string";
                return false;
            }
            token += line_.substr(i + 1, end - i - 1);
            i = end;
        }
        if (inToken) {
            tokens.push_back(token);
            quoted.push_back(tokenQuoted);
        }
        if (tokens.empty()) {
            return true;
        }
        word = tokens[0];
        for (size_t t = 1; t < tokens.size(); ++t) {
            const size_t equals = tokens[t].find('=');
            if (t == 1 && word == "interface" && equals == std::string::npos) {
                settings.push_back({"name", tokens[t], false});
                continue;
            }
            if (equals == std::string::npos) {
                error = "expected key=value, found '" + tokens[t] + "'";
                return false;
            }
            settings.push_back(
                {tokens[t].substr(0, equals), tokens[t].substr(equals + 1), quoted[t]});
        }
        return true;
    }

private:
    const std::string& line_;
};

bool ParseNumber(const std::string& text, int base, unsigned long maximum, unsigned long& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    value = std::strtoul(text.c_str(), &end, base);
    return *end == '\0' && value <= maximum;
}

bool ParseHex16(const std::string& text, USHORT& value) {
    unsigned long number;
    if (text.size() > 4 || !ParseNumber(text, 16, 0xFFFF, number)) {
        return false;
    }
    value = static_cast<USHORT>(number);
    return true;
}

bool ParseDecimal16(const std::string& text, USHORT& value) {
    unsigned long number;
    if (!ParseNumber(text, 10, 0xFFFF, number)) {
        return false;
    }
    value = static_cast<USHORT>(number);
    return true;
}

bool ParseBytes(const std::string& text, std::string& bytes) {
    if (text.size() % 2 != 0) {
        return false;
    }
    bytes.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        unsigned long byte;
        if (!ParseNumber(text.substr(i, 2), 16, 0xFF, byte)) {
            return false;
        }
        bytes += static_cast<char>(byte);
    }
    return true;
}

void AppendUtf8(const std::string& utf8, std::wstring& text) {
    if (utf8.empty()) {
        return;
    }
    const int units =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring converted(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &converted[0],
                        units);
    text += converted;
}

// Quoted text is UTF-8 with \" \\ and \uXXXX escapes (the last one gives any UTF-16 unit).
bool ParseText(const Setting& setting, std::wstring& text) {
    if (!setting.quoted) {
        return false;
    }
    text.clear();
    std::string run;
    const std::string& value = setting.value;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            run += value[i];
            continue;
        }
        if (i + 1 >= value.size()) {
            return false;
        }
        const char escaped = value[++i];
        if (escaped == '"' || escaped == '\\') {
            run += escaped;
            continue;
        }
        unsigned long unit;
        if (escaped != 'u' || i + 4 >= value.size() ||
            !ParseNumber(value.substr(i + 1, 4), 16, 0xFFFF, unit)) {
            return false;
        }
        AppendUtf8(run, text);
        run.clear();
        text += static_cast<wchar_t>(unit);
        i += 4;
    }
    AppendUtf8(run, text);
    return true;
}

bool ParseFailures(const std::string& text, std::set<std::string>& failing) {
    std::stringstream list(text);
    std::string function;
    while (std::getline(list, function, ',')) {
        bool known = false;
        for (const char* failable : kFailableFunctions) {
            known = known || function == failable;
        }
        if (!known) {
            return false;
        }
        failing.insert(function);
    }
    return true;
}

bool ValidName(const std::string& name) {
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

bool ApplyInterfaceSetting(const Setting& s, SimulatedInterface& device) {
    const std::string& v = s.value;
    if (s.key == "name") {
        device.name = v;
        return ValidName(v);
    }
    if (s.key == "vid") {
        return ParseHex16(v, device.vendorId);
    }
    if (s.key == "pid") {
        return ParseHex16(v, device.productId);
    }
    if (s.key == "version") {
        return ParseHex16(v, device.versionNumber);
    }
    if (s.key == "open") {
        if (v == "readwrite") {
            device.open = OpenBehaviour::ReadWrite;
        } else if (v == "query") {
            device.open = OpenBehaviour::QueryOnly;
        } else if (v == "absent") {
            device.open = OpenBehaviour::Absent;
        } else {
            return false;
        }
        return true;
    }
    if (s.key == "manufacturer" || s.key == "product" || s.key == "serial") {
        std::wstring text;
        if (!ParseText(s, text)) {
            return false;
        }
        (s.key == "manufacturer" ? device.manufacturer
         : s.key == "product"    ? device.product
                                 : device.serialNumber) = text;
        return true;
    }
    if (s.key.compare(0, 7, "string.") == 0) {
        unsigned long index;
        std::wstring text;
        const std::string number = s.key.substr(7);
        const bool hex = number.compare(0, 2, "0x") == 0;
        if (!ParseNumber(hex ? number.substr(2) : number, hex ? 16 : 10, 0xFFFFFFFFul, index) ||
            !ParseText(s, text)) {
            return false;
        }
        device.indexedStrings[index] = text;
        return true;
    }
    if (s.key == "usage_page") {
        return ParseHex16(v, device.usagePage);
    }
    if (s.key == "usage") {
        return ParseHex16(v, device.usage);
    }
    if (s.key == "input") {
        return ParseDecimal16(v, device.inputReportLength);
    }
    if (s.key == "output") {
        return ParseDecimal16(v, device.outputReportLength);
    }
    if (s.key == "feature") {
        return ParseDecimal16(v, device.featureReportLength);
    }
    if (s.key == "buffers") {
        unsigned long count;
        if (!ParseNumber(v, 10, 0xFFFFFFFFul, count)) {
            return false;
        }
        device.inputBuffers = count;
        return true;
    }
    if (s.key == "feature_data") {
        return ParseBytes(v, device.featureData);
    }
    if (s.key == "input_data") {
        return ParseBytes(v, device.inputData);
    }
    if (s.key == "read_data") {
        return ParseBytes(v, device.readData);
    }
    if (s.key == "fail") {
        return ParseFailures(v, device.failing);
    }
    return false;
}

bool ApplyWorldSetting(const Setting& s, World& world) {
    if (s.key != "classdevs") {
        return false;
    }
    if (s.value == "ok") {
        world.classDevs = ClassDevsAnswer::Set;
    } else if (s.value == "null") {
        world.classDevs = ClassDevsAnswer::Null;
    } else if (s.value == "invalid") {
        world.classDevs = ClassDevsAnswer::Invalid;
    } else {
        return false;
    }
    return true;
}

bool ParseLine(const std::string& line, World& world, std::string& error) {
    std::string word;
    std::vector<Setting> settings;
    if (!LineReader(line).Read(word, settings, error)) {
        return false;
    }
    if (word.empty()) {
        return true; // blank or comment
    }
    if (word == "world") {
        for (const Setting& s : settings) {
            if (!ApplyWorldSetting(s, world)) {
                error = "bad world setting '" + s.key + "=" + s.value + "'";
                return false;
            }
        }
        return true;
    }
    if (word != "interface") {
        error = "expected 'world' or 'interface', found '" + word + "'";
        return false;
    }
    SimulatedInterface device;
    for (const Setting& s : settings) {
        if (!ApplyInterfaceSetting(s, device)) {
            error = "bad interface setting '" + s.key + "=" + s.value + "'";
            return false;
        }
    }
    if (device.name.empty()) {
        error = "an interface needs a name";
        return false;
    }
    for (const SimulatedInterface& other : world.interfaces) {
        if (other.name == device.name) {
            error = "interface name '" + device.name + "' is used twice";
            return false;
        }
    }
    world.interfaces.push_back(device);
    return true;
}

} // namespace

bool ParseWorld(const std::string& text, World& world, std::string& error) {
    world = World();
    std::stringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (!ParseLine(line, world, error)) {
            error = "line " + std::to_string(number) + ": " + error;
            world = World();
            return false;
        }
    }
    return true;
}
