#include "world_faults.h"

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

// The functions that fill a record for their caller.
const char* const kScribblingFunctions[] = {
    "HidD_GetAttributes",
    "HidP_GetCaps",
    "HidD_GetNumInputBuffers",
};

template <size_t Count>
bool IsOneOf(const std::string& function, const char* const (&functions)[Count]) {
    for (const char* candidate : functions) {
        if (function == candidate) {
            return true;
        }
    }
    return false;
}

template <size_t Count>
std::string ReadFunctions(const Setting& s, const char* const (&allowed)[Count],
                          const std::string& expected, std::set<std::string>& functions) {
    std::stringstream list(s.value);
    std::string function;
    while (std::getline(list, function, ',')) {
        if (!IsOneOf(function, allowed)) {
            return "a comma-separated list of " + expected + " ('" + function + "' is none)";
        }
        functions.insert(function);
    }
    return functions.empty() ? "at least one function name" : "";
}

} // namespace

std::string ReadFailingFunctions(const Setting& s, std::set<std::string>& functions) {
    return ReadFunctions(s, kFailableFunctions,
                         "hid.dll functions and SetupDiGetDeviceInterfaceDetailA", functions);
}

std::string ReadScribblingFunctions(const Setting& s, std::set<std::string>& functions) {
    return ReadFunctions(s, kScribblingFunctions,
                         "HidD_GetAttributes, HidP_GetCaps and HidD_GetNumInputBuffers", functions);
}
