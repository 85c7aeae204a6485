// The HID class functions, answering from the world for handles open on its device files.
#include "platform_records.h"
#include "simulator_state.h"

#include <algorithm>
#include <cstring>

namespace {

// Preparsed data blocks are opaque to callers; these values are never dereferenced.
constexpr ULONG_PTR kFirstPreparsedValue = 0x9A900000;

std::string DescribePointer(const void* pointer) {
    return pointer ? "ptr" : "null";
}

std::string DescribeBytes(const void* buffer, ULONG length) {
    if (!buffer) {
        return "null";
    }
    std::string text = "[";
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    for (ULONG i = 0; i < length; ++i) {
        text += (i ? " " : "") + Hex(bytes[i], 2);
    }
    return text + "]";
}

std::string DescribePreparsed(LockedState& state, PHIDP_PREPARSED_DATA preparsed) {
    const auto found = state->preparsed.find(preparsed);
    if (found != state->preparsed.end()) {
        return "pp:" + std::to_string(found->second.number);
    }
    return preparsed ? "0x" + Hex(reinterpret_cast<ULONG_PTR>(preparsed)) : "null";
}

// Why `function` cannot answer for `device`: not a device of the world (what the platform
// says of any other file), or a fault the world injects. 0 when it can.
DWORD Refusal(const SimulatedInterface* device, const char* function) {
    if (!device) {
        return ERROR_INVALID_FUNCTION;
    }
    return device->Fails(function) ? ERROR_GEN_FAILURE : 0;
}

BOOLEAN Answer(LockedState& state, const std::string& call, DWORD refusal) {
    state->Record(call, refusal ? "0" : "1", refusal);
    return refusal ? FALSE : TRUE;
}

// The platform copies as much of the string as fits and terminates it only when the
// terminator fits too: a 126-unit string fills 252 bytes exactly.
void CopyDeviceString(const std::wstring& text, PVOID buffer, ULONG length) {
    const size_t bytes = text.size() * sizeof(wchar_t);
    std::memcpy(buffer, text.data(), std::min<size_t>(bytes, length));
    if (bytes + sizeof(wchar_t) <= length) {
        std::memset(static_cast<char*>(buffer) + bytes, 0, sizeof(wchar_t));
    }
}

BOOLEAN QueryString(const char* function, HANDLE handle,
                    const std::wstring* (*select)(const SimulatedInterface&), PVOID buffer,
                    ULONG length) {
    LockedState state;
    const std::string call = std::string(function) + "(" + state->Describe(handle) + ", " +
                             DescribePointer(buffer) + ", " + std::to_string(length) + ")";
    const SimulatedInterface* device = state->InterfaceOf(handle);
    DWORD refusal = Refusal(device, function);
    const std::wstring* text = refusal ? nullptr : select(*device);
    if (!refusal && (!text || !buffer)) {
        refusal = ERROR_INVALID_PARAMETER;
    }
    if (!refusal) {
        CopyDeviceString(*text, buffer, length);
    }
    return Answer(state, call, refusal);
}

const std::wstring* Optional(const std::optional<std::wstring>& text) {
    return text ? &*text : nullptr;
}

BOOLEAN GetReport(const char* function, HANDLE handle, PVOID buffer, ULONG length,
                  const std::string SimulatedInterface::*data) {
    LockedState state;
    const std::string call = std::string(function) + "(" + state->Describe(handle) + ", " +
                             DescribePointer(buffer) + ", " + std::to_string(length) + ")";
    const SimulatedInterface* device = state->InterfaceOf(handle);
    DWORD refusal = Refusal(device, function);
    if (!refusal && (!buffer || length == 0)) {
        refusal = ERROR_INVALID_PARAMETER;
    }
    if (!refusal) {
        const std::string& report = device->*data;
        std::memcpy(buffer, report.data(), std::min<size_t>(report.size(), length));
    }
    return Answer(state, call, refusal);
}

BOOLEAN SetReport(const char* function, HANDLE handle, PVOID buffer, ULONG length) {
    LockedState state;
    const std::string call = std::string(function) + "(" + state->Describe(handle) + ", " +
                             DescribeBytes(buffer, length) + ", " + std::to_string(length) + ")";
    const SimulatedInterface* device = state->InterfaceOf(handle);
    DWORD refusal = Refusal(device, function);
    if (!refusal && (!buffer || length == 0)) {
        refusal = ERROR_INVALID_PARAMETER;
    }
    return Answer(state, call, refusal);
}

} // namespace

extern "C" {

void WINAPI HidD_GetHidGuid(GUID* hidGuid) {
    LockedState state;
    if (hidGuid) {
        *hidGuid = kHidInterfaceClass;
    }
    state->Record("HidD_GetHidGuid(" + DescribePointer(hidGuid) + ")", "");
}

BOOLEAN WINAPI HidD_GetAttributes(HANDLE handle, HIDD_ATTRIBUTES* attributes) {
    LockedState state;
    const std::string call =
        "HidD_GetAttributes(" + state->Describe(handle) + ", " +
        (attributes ? "Size=" + std::to_string(attributes->Size) : std::string("null")) + ")";
    const SimulatedInterface* device = state->InterfaceOf(handle);
    DWORD refusal = Refusal(device, "HidD_GetAttributes");
    if (!refusal && !attributes) {
        refusal = ERROR_INVALID_PARAMETER;
    }
    if (!refusal) {
        attributes->VendorID = device->vendorId;
        attributes->ProductID = device->productId;
        attributes->VersionNumber = device->versionNumber;
    }
    return Answer(state, call, refusal);
}

BOOLEAN WINAPI HidD_GetPreparsedData(HANDLE handle, PHIDP_PREPARSED_DATA* preparsed) {
    LockedState state;
    const std::string call = "HidD_GetPreparsedData(" + state->Describe(handle) + ", " +
                             DescribePointer(preparsed) + ")";
    const SimulatedInterface* device = state->InterfaceOf(handle);
    DWORD refusal = Refusal(device, "HidD_GetPreparsedData");
    if (!refusal && !preparsed) {
        refusal = ERROR_INVALID_PARAMETER;
    }
    if (refusal) {
        return Answer(state, call, refusal);
    }
    const int number = ++state->preparsedCreated;
    void* block =
        reinterpret_cast<void*>(kFirstPreparsedValue + 8 * static_cast<ULONG_PTR>(number));
    state->preparsed[block] = {number, static_cast<size_t>(device - &state->world.interfaces[0])};
    *preparsed = block;
    state->Record(call, "1 pp:" + std::to_string(number));
    return TRUE;
}

LONG WINAPI HidP_GetCaps(PHIDP_PREPARSED_DATA preparsed, HIDP_CAPS* caps) {
    LockedState state;
    const std::string call =
        "HidP_GetCaps(" + DescribePreparsed(state, preparsed) + ", " + DescribePointer(caps) + ")";
    const auto found = state->preparsed.find(preparsed);
    const SimulatedInterface* device = found == state->preparsed.end()
                                           ? nullptr
                                           : &state->world.interfaces[found->second.interfaceIndex];
    if (!device || device->Fails("HidP_GetCaps") || !caps) {
        state->Record(call, "0x" + Hex(static_cast<ULONG>(HIDP_STATUS_INVALID_PREPARSED_DATA), 8));
        return HIDP_STATUS_INVALID_PREPARSED_DATA;
    }
    *caps = HIDP_CAPS();
    caps->Usage = device->usage;
    caps->UsagePage = device->usagePage;
    caps->InputReportByteLength = device->inputReportLength;
    caps->OutputReportByteLength = device->outputReportLength;
    caps->FeatureReportByteLength = device->featureReportLength;
    caps->NumberLinkCollectionNodes = 1;
    state->Record(call, "0x" + Hex(static_cast<ULONG>(HIDP_STATUS_SUCCESS), 8));
    return HIDP_STATUS_SUCCESS;
}

BOOLEAN WINAPI HidD_FreePreparsedData(PHIDP_PREPARSED_DATA preparsed) {
    LockedState state;
    const std::string call = "HidD_FreePreparsedData(" + DescribePreparsed(state, preparsed) + ")";
    const auto found = state->preparsed.find(preparsed);
    if (found == state->preparsed.end()) {
        return Answer(state, call, ERROR_INVALID_PARAMETER);
    }
    // A fault refuses the call, but the block is gone all the same.
    const bool fails =
        state->world.interfaces[found->second.interfaceIndex].Fails("HidD_FreePreparsedData");
    state->preparsed.erase(found);
    return Answer(state, call, fails ? ERROR_GEN_FAILURE : 0);
}

BOOLEAN WINAPI HidD_GetNumInputBuffers(HANDLE handle, PULONG count) {
    LockedState state;
    const std::string call =
        "HidD_GetNumInputBuffers(" + state->Describe(handle) + ", " + DescribePointer(count) + ")";
    const SimulatedInterface* device = state->InterfaceOf(handle);
    DWORD refusal = Refusal(device, "HidD_GetNumInputBuffers");
    if (!refusal && !count) {
        refusal = ERROR_INVALID_PARAMETER;
    }
    if (!refusal) {
        *count = device->inputBuffers;
    }
    return Answer(state, call, refusal);
}

BOOLEAN WINAPI HidD_GetManufacturerString(HANDLE handle, PVOID buffer, ULONG length) {
    return QueryString(
        "HidD_GetManufacturerString", handle,
        [](const SimulatedInterface& device) { return Optional(device.manufacturer); }, buffer,
        length);
}

BOOLEAN WINAPI HidD_GetProductString(HANDLE handle, PVOID buffer, ULONG length) {
    return QueryString(
        "HidD_GetProductString", handle,
        [](const SimulatedInterface& device) { return Optional(device.product); }, buffer, length);
}

BOOLEAN WINAPI HidD_GetSerialNumberString(HANDLE handle, PVOID buffer, ULONG length) {
    return QueryString(
        "HidD_GetSerialNumberString", handle,
        [](const SimulatedInterface& device) { return Optional(device.serialNumber); }, buffer,
        length);
}

BOOLEAN WINAPI HidD_GetIndexedString(HANDLE handle, ULONG index, PVOID buffer, ULONG length) {
    LockedState state;
    const std::string call = "HidD_GetIndexedString(" + state->Describe(handle) + ", 0x" +
                             Hex(index, 8) + ", " + DescribePointer(buffer) + ", " +
                             std::to_string(length) + ")";
    const SimulatedInterface* device = state->InterfaceOf(handle);
    DWORD refusal = Refusal(device, "HidD_GetIndexedString");
    const std::wstring* text = nullptr;
    if (!refusal) {
        const auto found = device->indexedStrings.find(index);
        text = found == device->indexedStrings.end() ? nullptr : &found->second;
    }
    if (!refusal && (!text || !buffer)) {
        refusal = ERROR_INVALID_PARAMETER;
    }
    if (!refusal) {
        CopyDeviceString(*text, buffer, length);
    }
    return Answer(state, call, refusal);
}

BOOLEAN WINAPI HidD_GetFeature(HANDLE handle, PVOID buffer, ULONG length) {
    return GetReport("HidD_GetFeature", handle, buffer, length, &SimulatedInterface::featureData);
}

BOOLEAN WINAPI HidD_SetFeature(HANDLE handle, PVOID buffer, ULONG length) {
    return SetReport("HidD_SetFeature", handle, buffer, length);
}

BOOLEAN WINAPI HidD_GetInputReport(HANDLE handle, PVOID buffer, ULONG length) {
    return GetReport("HidD_GetInputReport", handle, buffer, length, &SimulatedInterface::inputData);
}

BOOLEAN WINAPI HidD_SetOutputReport(HANDLE handle, PVOID buffer, ULONG length) {
    return SetReport("HidD_SetOutputReport", handle, buffer, length);
}

} // extern "C"
