#include "device_config.h"
#include "text.h"

// Big enough for the longest text value plus the record's header.
#define VALUE_BUFFER_BYTES (sizeof(KEY_VALUE_PARTIAL_INFORMATION) + VHID_MAX_PATH * sizeof(WCHAR))

typedef struct ValueBuffer {
    KEY_VALUE_PARTIAL_INFORMATION info;
    UCHAR room[VALUE_BUFFER_BYTES];
} ValueBuffer;

static BOOLEAN QueryValue(HANDLE key, const WCHAR* name, ValueBuffer* buffer) {
    UNICODE_STRING valueName;
    ULONG length = 0;
    RtlInitUnicodeString(&valueName, name);
    return NT_SUCCESS(ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, buffer,
                                      sizeof(*buffer), &length));
}

static void ReadNumber(HANDLE key, const WCHAR* name, USHORT* number) {
    ValueBuffer buffer;
    if (QueryValue(key, name, &buffer) && buffer.info.Type == REG_DWORD &&
        buffer.info.DataLength == sizeof(ULONG)) {
        *number = (USHORT)(*(const ULONG*)buffer.info.Data);
    }
}

static void ReadText(HANDLE key, const WCHAR* name, WCHAR* text, ULONG capacity) {
    ValueBuffer buffer;
    if (QueryValue(key, name, &buffer) && buffer.info.Type == REG_SZ) {
        CopyText(text, capacity, (const WCHAR*)buffer.info.Data,
                 buffer.info.DataLength / sizeof(WCHAR));
    }
}

static USHORT ClampLength(USHORT length) {
    return length > VHID_MAX_REPORT_LENGTH ? VHID_MAX_REPORT_LENGTH : length;
}

NTSTATUS ReadDeviceConfig(PDEVICE_OBJECT pdo, DeviceConfig* config) {
    HANDLE key;
    USHORT present = 0;
    NTSTATUS status;

    RtlZeroMemory(config, sizeof(*config));
    config->inputLength = 8;
    config->outputLength = 8;
    config->featureLength = 8;

    status = IoOpenDeviceRegistryKey(pdo, PLUGPLAY_REGKEY_DEVICE, KEY_READ, &key);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    ReadNumber(key, L"Present", &present);
    ReadNumber(key, L"VendorId", &config->vendorId);
    ReadNumber(key, L"ProductId", &config->productId);
    ReadNumber(key, L"VersionNumber", &config->versionNumber);
    ReadNumber(key, L"InputReportLength", &config->inputLength);
    ReadNumber(key, L"OutputReportLength", &config->outputLength);
    ReadNumber(key, L"FeatureReportLength", &config->featureLength);
    ReadText(key, L"Manufacturer", config->manufacturer, VHID_MAX_TEXT);
    ReadText(key, L"Product", config->product, VHID_MAX_TEXT);
    ReadText(key, L"SerialNumber", config->serialNumber, VHID_MAX_TEXT);
    ReadText(key, L"LogFile", config->logPath, VHID_MAX_PATH);
    ZwClose(key);

    config->present = present == 1;
    config->inputLength = ClampLength(config->inputLength);
    config->outputLength = ClampLength(config->outputLength);
    config->featureLength = ClampLength(config->featureLength);
    return STATUS_SUCCESS;
}

BOOLEAN ReadIndexedString(PDEVICE_OBJECT pdo, const DeviceConfig* config, ULONG index, WCHAR* text,
                          ULONG capacity) {
    static const WCHAR prefix[] = L"String";
    WCHAR name[16];
    HANDLE key;

    text[0] = 0;
    CopyText(name, 16, prefix, 6);
    AppendDecimal(name, 16, index);
    if (NT_SUCCESS(IoOpenDeviceRegistryKey(pdo, PLUGPLAY_REGKEY_DEVICE, KEY_READ, &key))) {
        ReadText(key, name, text, capacity);
        ZwClose(key);
    }
    if (text[0]) {
        return TRUE;
    }
    // A USB device's usual string descriptor numbers.
    switch (index) {
    case 1:
        CopyText(text, capacity, config->manufacturer, VHID_MAX_TEXT);
        break;
    case 2:
        CopyText(text, capacity, config->product, VHID_MAX_TEXT);
        break;
    case 3:
        CopyText(text, capacity, config->serialNumber, VHID_MAX_TEXT);
        break;
    }
    return text[0] != 0;
}
