// The HID class functions, answering from the world for handles open on its device files.
#include "call_rendering.h"
#include "platform_records.h"
#include "simulator_state.h"

#include <algorithm>
#include <cstring>

namespace {

std::string DescribePreparsed(LockedState& state, PHIDP_PREPARSED_DATA preparsed) {
    return state->preparsed.Describe("pp", preparsed);
}

std::string DescribeStatus(LONG status) {
    return "0x" + Hex(static_cast<ULONG>(status), 8);
}

// Why `function` cannot answer for `device`: not a device of the world (what the platform
// says of any other file), or a fault the world injects. 0 when it can.
DWORD Refusal(const SimulatedInterface* device, const char* function) {
    if (!device) {
        return ERROR_INVALID_FUNCTION;
    }
    return device->Fails(function) ? ERROR_GEN_FAILURE : 0;
}

// The platform hands report buffers to the kernel, which probes them: memory the caller
// cannot give fails the request with ERROR_NOACCESS instead of faulting. The probe asks the
// memory manager rather than touching the pages, so that it neither depends on a caught
// access violation nor trips a guard page.
bool Accessible(const void* buffer, ULONG length, DWORD allowed_protections) {
    if (!buffer || !length) {
        return true;
    }
    const auto first = reinterpret_cast<ULONG_PTR>(buffer);
    const ULONG_PTR last = first + length - 1;
    if (last < first) {
        return false;
    }
    for (ULONG_PTR address = first;;) {
        MEMORY_BASIC_INFORMATION region{};
        if (!VirtualQuery(reinterpret_cast<const void*>(address), &region, sizeof region) ||
            region.State != MEM_COMMIT || (region.Protect & (PAGE_GUARD | PAGE_NOACCESS)) ||
            !(region.Protect & allowed_protections)) {
            return false;
        }
        const ULONG_PTR region_last =
            reinterpret_cast<ULONG_PTR>(region.BaseAddress) + region.RegionSize - 1;
        if (region_last >= last) {
            return true;
        }
        address = region_last + 1;
    }
}

constexpr DWORD kWritableProtections =
    PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
constexpr DWORD kReadableProtections = kWritableProtections | PAGE_READONLY | PAGE_EXECUTE_READ;

bool Unreadable(const void* buffer, ULONG length) {
    return !Accessible(buffer, length, kReadableProtections);
}

bool Unwritable(void* buffer, ULONG length) {
    return !Accessible(buffer, length, kWritableProtections);
}

// What a scribbling function leaves in its caller's record before it fails.
template <typename Record>
void Scribble(const SimulatedInterface* device, const char* function, Record* record) {
    if (device && record && device->Scribbles(function)) {
        std::memset(record, 0xA5, sizeof *record);
    }
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

// A string the device lacks fails the query, as the platform's does for such a device.
template <typename Select>
BOOLEAN QueryString(const std::string& call, LockedState& state, const char* function,
                    HANDLE handle, Select select, PVOID buffer, ULONG length) {
    const SimulatedInterface* device = state->InterfaceOf(handle);
    DWORD refusal = Refusal(device, function);
    const std::wstring* text = refusal ? nullptr : select(*device);
    if (!refusal && (!text || !buffer)) {
        refusal = ERROR_INVALID_PARAMETER;
    }
    if (!refusal && Unwritable(buffer, length)) {
        refusal = ERROR_NOACCESS;
    }
    if (!refusal) {
        CopyDeviceString(*text, buffer, length);
    }
    return Answer(state, call, refusal);
}

BOOLEAN QueryNamedString(const char* function, HANDLE handle,
                         const std::wstring* (*select)(const SimulatedInterface&), PVOID buffer,
                         ULONG length) {
    LockedState state;
    const std::string call = std::string(function) + "(" + state->DescribeHandle(handle) + ", " +
                             DescribePointer(buffer) + ", " + std::to_string(length) + ")";
    return QueryString(call, state, function, handle, select, buffer, length);
}

const std::wstring* Present(const std::optional<std::wstring>& text) {
    return text ? &*text : nullptr;
}

BOOLEAN GetReport(const char* function, HANDLE handle, PVOID buffer, ULONG length,
                  const std::string SimulatedInterface::*report) {
    LockedState state;
    const std::string call = std::string(function) + "(" + state->DescribeHandle(handle) + ", " +
                             DescribePointer(buffer) + ", " + std::to_string(length) + ")";
    const SimulatedInterface* device = state->InterfaceOf(handle);
    DWORD refusal = Refusal(device, function);
    if (!refusal && (!buffer || length == 0)) {
        refusal = ERROR_INVALID_PARAMETER;
    }
    if (!refusal && Unwritable(buffer, length)) {
        refusal = ERROR_NOACCESS;
    }
    if (!refusal) {
        const std::string& bytes = device->*report;
        std::memcpy(buffer, bytes.data(), std::min<size_t>(bytes.size(), length));
    }
    return Answer(state, call, refusal);
}

// The report reaches the device only as far as the journal: its bytes are the record.
BOOLEAN SetReport(const char* function, HANDLE handle, PVOID buffer, ULONG length) {
    LockedState state;
    const bool unreadable = Unreadable(buffer, length);
    const std::string call = std::string(function) + "(" + state->DescribeHandle(handle) + ", " +
                             (unreadable ? "unreadable" : DescribeBytes(buffer, length)) + ", " +
                             std::to_string(length) + ")";
    DWORD refusal = Refusal(state->InterfaceOf(handle), function);
    if (!refusal && (!buffer || length == 0)) {
        refusal = ERROR_INVALID_PARAMETER;
    }
    if (!refusal && unreadable) {
        refusal = ERROR_NOACCESS;
    }
    return Answer(state, call, refusal);
}

} // namespace

extern "C" {

void WINAPI HidD_GetHidGuid(LPGUID hidGuid) {
    LockedState state;
    if (hidGuid) {
        *hidGuid = kHidInterfaceClass;
    }
    state->Record("HidD_GetHidGuid(" + DescribePointer(hidGuid) + ")", "");
}

BOOLEAN WINAPI HidD_GetAttributes(HANDLE handle, HIDD_ATTRIBUTES* attributes) {
    LockedState state;
    const std::string call = "HidD_GetAttributes(" + state->DescribeHandle(handle) + ", " +
                             DescribeRecord(attributes, "Size", &HIDD_ATTRIBUTES::Size) + ")";
    const SimulatedInterface* device = state->InterfaceOf(handle);
    DWORD refusal = Refusal(device, "HidD_GetAttributes");
    if (!refusal && !attributes) {
        refusal = ERROR_INVALID_PARAMETER;
    }
    Scribble(device, "HidD_GetAttributes", attributes);
    // Size is left as the caller set it: the platform neither checks nor fills it.
    if (!refusal) {
        attributes->VendorID = device->vendorId;
        attributes->ProductID = device->productId;
        attributes->VersionNumber = device->versionNumber;
    }
    return Answer(state, call, refusal);
}

// Each call hands out a block of its own, so that a caller that frees one twice, or never,
// shows in DevSim_OutstandingPreparsedData and in the journal.
BOOLEAN WINAPI HidD_GetPreparsedData(HANDLE handle, PHIDP_PREPARSED_DATA* preparsed) {
    LockedState state;
    const std::string call = "HidD_GetPreparsedData(" + state->DescribeHandle(handle) + ", " +
                             DescribePointer(preparsed) + ")";
    const SimulatedInterface* device = state->InterfaceOf(handle);
    DWORD refusal = Refusal(device, "HidD_GetPreparsedData");
    if (!refusal && !preparsed) {
        refusal = ERROR_INVALID_PARAMETER;
    }
    if (refusal) {
        return Answer(state, call, refusal);
    }
    const size_t index = static_cast<size_t>(device - state->world.interfaces.data());
    *preparsed = static_cast<PHIDP_PREPARSED_DATA>(state->preparsed.Add({index}));
    state->Record(call, "1 " + DescribePreparsed(state, *preparsed));
    return TRUE;
}

LONG WINAPI HidP_GetCaps(PHIDP_PREPARSED_DATA preparsed, HIDP_CAPS* caps) {
    LockedState state;
    const std::string call =
        "HidP_GetCaps(" + DescribePreparsed(state, preparsed) + ", " + DescribePointer(caps) + ")";
    const PreparsedData* block = state->preparsed.Find(preparsed);
    const SimulatedInterface* device =
        block ? &state->world.interfaces[block->interfaceIndex] : nullptr;
    if (!device || device->Fails("HidP_GetCaps") || !caps) {
        Scribble(device, "HidP_GetCaps", caps);
        state->Record(call, DescribeStatus(HIDP_STATUS_INVALID_PREPARSED_DATA));
        return HIDP_STATUS_INVALID_PREPARSED_DATA;
    }
    *caps = HIDP_CAPS();
    caps->Usage = device->usage;
    caps->UsagePage = device->usagePage;
    caps->InputReportByteLength = device->inputReportLength;
    caps->OutputReportByteLength = device->outputReportLength;
    caps->FeatureReportByteLength = device->featureReportLength;
    caps->NumberLinkCollectionNodes = 1;
    state->Record(call, DescribeStatus(HIDP_STATUS_SUCCESS));
    return HIDP_STATUS_SUCCESS;
}

BOOLEAN WINAPI HidD_FreePreparsedData(PHIDP_PREPARSED_DATA preparsed) {
    LockedState state;
    const std::string call = "HidD_FreePreparsedData(" + DescribePreparsed(state, preparsed) + ")";
    const PreparsedData* block = state->preparsed.Find(preparsed);
    if (!block) {
        return Answer(state, call, ERROR_INVALID_PARAMETER);
    }
    // An injected fault refuses the call, but the block is gone all the same: a caller
    // cannot do better than free it once.
    const DWORD refusal =
        Refusal(&state->world.interfaces[block->interfaceIndex], "HidD_FreePreparsedData");
    state->preparsed.Remove(preparsed);
    return Answer(state, call, refusal);
}

BOOLEAN WINAPI HidD_GetNumInputBuffers(HANDLE handle, PULONG count) {
    LockedState state;
    const std::string call = "HidD_GetNumInputBuffers(" + state->DescribeHandle(handle) + ", " +
                             DescribePointer(count) + ")";
    const SimulatedInterface* device = state->InterfaceOf(handle);
    DWORD refusal = Refusal(device, "HidD_GetNumInputBuffers");
    if (!refusal && !count) {
        refusal = ERROR_INVALID_PARAMETER;
    }
    Scribble(device, "HidD_GetNumInputBuffers", count);
    if (!refusal) {
        *count = device->inputBuffers;
    }
    return Answer(state, call, refusal);
}

BOOLEAN WINAPI HidD_GetManufacturerString(HANDLE handle, PVOID buffer, ULONG length) {
    return QueryNamedString(
        "HidD_GetManufacturerString", handle,
        [](const SimulatedInterface& device) { return Present(device.manufacturer); }, buffer,
        length);
}

BOOLEAN WINAPI HidD_GetProductString(HANDLE handle, PVOID buffer, ULONG length) {
    return QueryNamedString(
        "HidD_GetProductString", handle,
        [](const SimulatedInterface& device) { return Present(device.product); }, buffer, length);
}

BOOLEAN WINAPI HidD_GetSerialNumberString(HANDLE handle, PVOID buffer, ULONG length) {
    return QueryNamedString(
        "HidD_GetSerialNumberString", handle,
        [](const SimulatedInterface& device) { return Present(device.serialNumber); }, buffer,
        length);
}

BOOLEAN WINAPI HidD_GetIndexedString(HANDLE handle, ULONG index, PVOID buffer, ULONG length) {
    LockedState state;
    const std::string call = "HidD_GetIndexedString(" + state->DescribeHandle(handle) + ", 0x" +
                             Hex(index, 8) + ", " + DescribePointer(buffer) + ", " +
                             std::to_string(length) + ")";
    const auto select = [index](const SimulatedInterface& device) -> const std::wstring* {
        const auto found = device.indexedStrings.find(index);
        return found == device.indexedStrings.end() ? nullptr : &found->second;
    };
    return QueryString(call, state, "HidD_GetIndexedString", handle, select, buffer, length);
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
