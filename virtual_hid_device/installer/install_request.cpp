#include "install_request.h"

#include <cwchar>

const wchar_t kUsage[] =
    L"usage: virtual_hid_install --vendor HEX --product HEX [--instance N] [--inf PATH]\n"
    L"       virtual_hid_install --vendor HEX --product HEX [--instance N] --remove\n"
    L"         [--present 0|1] [--version HEX] [--input N] [--output N] [--feature N]\n"
    L"         [--manufacturer TEXT] [--product-string TEXT] [--serial TEXT]\n"
    L"         [--string INDEX=TEXT]... [--log WINDOWS-PATH]\n"
    L"With --inf: creates the device instance ROOT\\VID_vvvv&PID_pppp\\N if needed and\n"
    L"installs the driver for it. Every run writes the given values into the device's\n"
    L"registry key; the others stay as they are. Report lengths count the report ID byte.\n"
    L"With --remove: removes the instance, and with it its HID interface, at once.\n";

namespace {

bool ParseNumber(const std::wstring& text, int base, DWORD maximum, DWORD& number) {
    if (text.empty()) {
        return false;
    }
    wchar_t* end = nullptr;
    unsigned long value = std::wcstoul(text.c_str(), &end, base);
    if (*end != L'\0' || value > maximum) {
        return false;
    }
    number = static_cast<DWORD>(value);
    return true;
}

DeviceValue Number(const wchar_t* name, DWORD number) {
    return {name, REG_DWORD, number, {}};
}

DeviceValue Text(const std::wstring& name, const std::wstring& text) {
    return {name, REG_SZ, 0, text};
}

std::wstring Hex4(DWORD number) {
    wchar_t text[8];
    std::swprintf(text, 8, L"%04X", static_cast<unsigned>(number));
    return text;
}

struct NumberOption {
    const wchar_t* option;
    const wchar_t* valueName;
    int base;
    DWORD maximum;
};

// Report lengths stop at 65: 64 data bytes of a full-speed interrupt pipe and the ID byte.
const NumberOption kNumberOptions[] = {
    {L"--present", L"Present", 10, 1},
    {L"--version", L"VersionNumber", 16, 0xFFFF},
    {L"--input", L"InputReportLength", 10, 65},
    {L"--output", L"OutputReportLength", 10, 65},
    {L"--feature", L"FeatureReportLength", 10, 65},
};

struct TextOption {
    const wchar_t* option;
    const wchar_t* valueName;
};

const TextOption kTextOptions[] = {
    {L"--manufacturer", L"Manufacturer"},
    {L"--product-string", L"Product"},
    {L"--serial", L"SerialNumber"},
    {L"--log", L"LogFile"},
};

bool ParseIndexedString(const std::wstring& argument, DeviceValue& value) {
    size_t equals = argument.find(L'=');
    DWORD index = 0;
    if (equals == std::wstring::npos || !ParseNumber(argument.substr(0, equals), 10, 255, index) ||
        index == 0) {
        return false;
    }
    value = Text(L"String" + std::to_wstring(index), argument.substr(equals + 1));
    return true;
}

bool ParseOption(const std::wstring& option, const std::wstring& argument, InstallRequest& request,
                 DWORD& vendor, DWORD& product, DWORD& instance) {
    if (option == L"--vendor") {
        return ParseNumber(argument, 16, 0xFFFF, vendor);
    }
    if (option == L"--product") {
        return ParseNumber(argument, 16, 0xFFFF, product);
    }
    if (option == L"--instance") {
        return ParseNumber(argument, 10, 9999, instance);
    }
    if (option == L"--inf") {
        request.infPath = argument;
        return !argument.empty();
    }
    if (option == L"--string") {
        DeviceValue value;
        if (!ParseIndexedString(argument, value)) {
            return false;
        }
        request.values.push_back(value);
        return true;
    }
    for (const NumberOption& known : kNumberOptions) {
        if (option == known.option) {
            DWORD number = 0;
            if (!ParseNumber(argument, known.base, known.maximum, number)) {
                return false;
            }
            request.values.push_back(Number(known.valueName, number));
            return true;
        }
    }
    for (const TextOption& known : kTextOptions) {
        if (option == known.option) {
            request.values.push_back(Text(known.valueName, argument));
            return true;
        }
    }
    return false;
}

} // namespace

bool ParseInstallRequest(const std::vector<std::wstring>& arguments, InstallRequest& request,
                         std::wstring& error) {
    const DWORD kUnset = 0xFFFFFFFF;
    DWORD vendor = kUnset;
    DWORD product = kUnset;
    DWORD instance = 0;
    size_t i = 0;
    while (i < arguments.size()) {
        if (arguments[i] == L"--remove") { // the one option without a value
            request.remove = true;
            i += 1;
            continue;
        }
        if (i + 1 >= arguments.size()) {
            error = L"no value after " + arguments[i];
            return false;
        }
        if (!ParseOption(arguments[i], arguments[i + 1], request, vendor, product, instance)) {
            error = L"bad option or value: " + arguments[i] + L" " + arguments[i + 1];
            return false;
        }
        i += 2;
    }
    if (vendor == kUnset || product == kUnset) {
        error = L"--vendor and --product are required";
        return false;
    }
    if (request.remove && (!request.infPath.empty() || !request.values.empty())) {
        error = L"--remove takes no other option than --vendor, --product and --instance";
        return false;
    }
    request.values.push_back(Number(L"VendorId", vendor));
    request.values.push_back(Number(L"ProductId", product));
    request.instanceId =
        L"ROOT\\VID_" + Hex4(vendor) + L"&PID_" + Hex4(product) + L"\\" + std::to_wstring(instance);
    return true;
}
