// The sixteen exported functions. Each one checks its arguments here, before anything
// reaches the platform, and hands the work to the module that owns it.
#include "velmar.h"

#include "device_queries.h"
#include "device_strings.h"
#include "device_table.h"
#include "interface_walk.h"
#include "os_version_code.h"
#include "platform_binding.h"

namespace {

// The guard of every export that takes a report: a handle, a buffer and a positive length.
bool AcceptsReport(HANDLE device, const void* report, int length) {
    return device && report && length > 0;
}

// Windows 2000 and older have no input- and output-report requests.
bool InputAndOutputReportsOffered() {
    return OsVersionCode() >= kOsVersionCodeXp;
}

BOOL ExchangeReport(HidD_Report_t request, HANDLE device, const void* report, int length) {
    if (!AcceptsReport(device, report, length) || !request) {
        return FALSE;
    }
    // The platform takes the buffer as PVOID for both directions; a set request only
    // reads it.
    return request(device, const_cast<void*>(report), static_cast<ULONG>(length));
}

DeviceIdentity IdentityFromArguments(int productId, int vendorId, int versionNumber, int index) {
    return {static_cast<USHORT>(productId), static_cast<USHORT>(vendorId),
            static_cast<USHORT>(versionNumber), static_cast<SHORT>(index)};
}

} // namespace

extern "C" {

BOOL VELMAR_CALL HID_DeviceTest(int productId, int vendorId, int versionNumber, int index) {
    return TestDevice(IdentityFromArguments(productId, vendorId, versionNumber, index));
}

HANDLE VELMAR_CALL HID_OpenDevice(int productId, int vendorId, int versionNumber, int index) {
    return OpenDevice(IdentityFromArguments(productId, vendorId, versionNumber, index));
}

BOOL VELMAR_CALL HID_CloseDevice(HANDLE device) {
    if (!device) {
        return FALSE;
    }
    return CloseHandle(device);
}

DWORD VELMAR_CALL HID_WriteDevice(HANDLE device, const void* report, int length) {
    DWORD written = 0;
    if (AcceptsReport(device, report, length)) {
        WriteFile(device, report, static_cast<DWORD>(length), &written, nullptr);
    }
    return written;
}

DWORD VELMAR_CALL HID_ReadDevice(HANDLE device, void* report, int length) {
    DWORD read = 0;
    if (AcceptsReport(device, report, length)) {
        ReadFile(device, report, static_cast<DWORD>(length), &read, nullptr);
    }
    return read;
}

BOOL VELMAR_CALL HID_GetFeature(HANDLE device, void* report, int length) {
    return ExchangeReport(HidEntries().HidD_GetFeature, device, report, length);
}

BOOL VELMAR_CALL HID_SetFeature(HANDLE device, const void* report, int length) {
    return ExchangeReport(HidEntries().HidD_SetFeature, device, report, length);
}

BOOL VELMAR_CALL HID_GetInputReport(HANDLE device, void* report, int length) {
    if (!InputAndOutputReportsOffered()) {
        return FALSE;
    }
    return ExchangeReport(HidEntries().HidD_GetInputReport, device, report, length);
}

BOOL VELMAR_CALL HID_SetOutputReport(HANDLE device, const void* report, int length) {
    if (!InputAndOutputReportsOffered()) {
        return FALSE;
    }
    return ExchangeReport(HidEntries().HidD_SetOutputReport, device, report, length);
}

BOOL VELMAR_CALL HID_GetCaps(HANDLE device, struct _HIDP_CAPS* caps) {
    if (!device || !caps) {
        return FALSE;
    }
    // Succeeds once the preparsed data was obtained, whatever HidP_GetCaps says of it.
    return QueryCaps(device, *caps) != CapsQuery::NoPreparsedData;
}

ULONG VELMAR_CALL HID_GetNumInputBuffers(HANDLE device) {
    return QueryNumInputBuffers(device);
}

// The string exports empty their slot before they look at the handle; the check is part
// of the query (device_strings).
const char* VELMAR_CALL HID_GetManufacturerString(HANDLE device) {
    return ReadDeviceString(DeviceString::Manufacturer, device);
}

const char* VELMAR_CALL HID_GetProductString(HANDLE device) {
    return ReadDeviceString(DeviceString::Product, device);
}

const char* VELMAR_CALL HID_GetSerialNumberString(HANDLE device) {
    return ReadDeviceString(DeviceString::SerialNumber, device);
}

const char* VELMAR_CALL HID_GetIndexedString(HANDLE device, ULONG stringIndex) {
    return ReadIndexedString(device, stringIndex);
}

BOOL VELMAR_CALL HID_DeviceInfo(HidDeviceTable* table) {
    if (!table) {
        return FALSE;
    }
    return FillDeviceTable(*table);
}

} // extern "C"
