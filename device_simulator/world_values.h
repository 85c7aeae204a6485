// The values a world's text gives its keys: hex and decimal numbers, hex byte strings
// and quoted text. Each parser accepts exactly its form and nothing around it.
#pragma once

#include <string>

// 1 to `maxDigits` hex digits.
bool ParseHexNumber(const std::string& text, size_t maxDigits, unsigned long& value);
// Decimal digits, at most `maximum`.
bool ParseDecimalNumber(const std::string& text, unsigned long maximum, unsigned long& value);
// Pairs of hex digits, one pair a byte ("00AA" is two bytes); empty is no bytes.
bool ParseHexBytes(const std::string& text, std::string& bytes);
// The inside of a quoted string: UTF-8 with \" \\ and \uXXXX (any UTF-16 unit) escapes.
bool ParseQuotedText(const std::string& text, std::wstring& value);
