#include "world_faults.h"

#include "hid_function_names.h"

#include <sstream>

namespace {

template <size_t Count>
bool IsOneOf(const std::string& function, const char* const (&functions)[Count]) {
    for (const char* candidate : functions) {
        if (function == candidate) {
            return true;
        }
    }
    return false;
}

// Every hid.dll function but HidD_GetHidGuid, which has no way to fail, and the detail query
// of setupapi.dll.
bool IsFailable(const std::string& function) {
    return (IsOneOf(function, kHidFunctionNames) && function != "HidD_GetHidGuid") ||
           function == "SetupDiGetDeviceInterfaceDetailA";
}

// The functions that fill a record for their caller.
const char* const kScribblingFunctions[] = {
    "HidD_GetAttributes",
    "HidP_GetCaps",
    "HidD_GetNumInputBuffers",
};

bool IsScribbling(const std::string& function) {
    return IsOneOf(function, kScribblingFunctions);
}

std::string ReadFunctions(const Setting& s, bool (*allowed)(const std::string&),
                          const std::string& expected, std::set<std::string>& functions) {
    std::stringstream list(s.value);
    std::string function;
    while (std::getline(list, function, ',')) {
        if (!allowed(function)) {
            return "a comma-separated list of " + expected + " ('" + function + "' is none)";
        }
        functions.insert(function);
    }
    return functions.empty() ? "at least one function name" : "";
}

} // namespace

std::string ReadFailingFunctions(const Setting& s, std::set<std::string>& functions) {
    return ReadFunctions(s, IsFailable, "hid.dll functions and SetupDiGetDeviceInterfaceDetailA",
                         functions);
}

std::string ReadScribblingFunctions(const Setting& s, std::set<std::string>& functions) {
    return ReadFunctions(s, IsScribbling,
                         "HidD_GetAttributes, HidP_GetCaps and HidD_GetNumInputBuffers", functions);
}
