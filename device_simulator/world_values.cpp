#include "world_values.h"

#include <windows.h>

namespace {

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

unsigned HexDigitValue(char c) {
    if (c <= '9') {
        return static_cast<unsigned>(c - '0');
    }
    return static_cast<unsigned>((c | 0x20) - 'a' + 10);
}

bool AppendUtf8(const std::string& utf8, std::wstring& text) {
    if (utf8.empty()) {
        return true;
    }
    const int size = static_cast<int>(utf8.size());
    const int units =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (units <= 0) {
        return false;
    }
    std::wstring converted(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, &converted[0], units);
    text += converted;
    return true;
}

} // namespace

bool ParseHexNumber(const std::string& text, size_t maxDigits, unsigned long& value) {
    if (text.empty() || text.size() > maxDigits) {
        return false;
    }
    value = 0;
    for (char c : text) {
        if (!IsHexDigit(c)) {
            return false;
        }
        value = value * 16 + HexDigitValue(c);
    }
    return true;
}

bool ParseDecimalNumber(const std::string& text, unsigned long maximum, unsigned long& value) {
    if (text.empty()) {
        return false;
    }
    value = 0;
    for (char c : text) {
        const unsigned long digit = static_cast<unsigned long>(c - '0');
        if (c < '0' || c > '9' || value > (maximum - digit) / 10) {
            return false;
        }
        value = value * 10 + digit;
    }
    return true;
}

bool ParseHexBytes(const std::string& text, std::string& bytes) {
    if (text.size() % 2 != 0) {
        return false;
    }
    bytes.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        unsigned long byte;
        if (!ParseHexNumber(text.substr(i, 2), 2, byte)) {
            return false;
        }
        bytes += static_cast<char>(byte);
    }
    return true;
}

bool ParseQuotedText(const std::string& text, std::wstring& value) {
    value.clear();
    std::string run;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            run += text[i];
            continue;
        }
        const char escaped = i + 1 < text.size() ? text[++i] : '\0';
        if (escaped == '"' || escaped == '\\') {
            run += escaped;
            continue;
        }
        unsigned long unit;
        if (escaped != 'u' || i + 4 >= text.size() ||
            !ParseHexNumber(text.substr(i + 1, 4), 4, unit)) {
            return false;
        }
        if (!AppendUtf8(run, value)) {
            return false;
        }
        run.clear();
        value += static_cast<wchar_t>(unit);
        i += 4;
    }
    return AppendUtf8(run, value);
}
