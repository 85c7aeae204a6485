// One device instance's configuration, read from its device registry key when it starts.
// The installer writes the same value names (see virtual_hid_device/README.md).
#ifndef VHID_DEVICE_CONFIG_H
#define VHID_DEVICE_CONFIG_H

#include <ntddk.h>

// Report lengths count the report ID byte, as the platform's HIDP_CAPS does; a length of
// 0 or 1 means the device has no report of that kind.
#define VHID_MAX_REPORT_LENGTH 65
#define VHID_MAX_TEXT 128
#define VHID_MAX_PATH 260

typedef struct DeviceConfig {
    BOOLEAN present;
    USHORT vendorId;
    USHORT productId;
    USHORT versionNumber;
    USHORT inputLength;
    USHORT outputLength;
    USHORT featureLength;
    WCHAR manufacturer[VHID_MAX_TEXT];
    WCHAR product[VHID_MAX_TEXT];
    WCHAR serialNumber[VHID_MAX_TEXT];
    WCHAR logPath[VHID_MAX_PATH]; // DOS path; empty: nothing is logged
} DeviceConfig;

// Reads the configuration of the device whose physical device object is `pdo`. Missing
// values keep their defaults; a device without a `Present` value of 1 is not present.
NTSTATUS ReadDeviceConfig(PDEVICE_OBJECT pdo, DeviceConfig* config);

// Copies the indexed string `index` ("String<index>", or the manufacturer, product and
// serial number for 1, 2 and 3 when not set) into `text`; FALSE when there is none.
BOOLEAN ReadIndexedString(PDEVICE_OBJECT pdo, const DeviceConfig* config, ULONG index, WCHAR* text,
                          ULONG capacity);

#endif
