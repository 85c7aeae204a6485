#include "requests.h"
#include "report_descriptor.h"
#include "text.h"

static ULONG OutputCapacity(PIRP irp) {
    return IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.OutputBufferLength;
}

NTSTATUS AnswerHidDescriptor(DeviceState* state, PIRP irp) {
    UCHAR report[VHID_MAX_REPORT_DESCRIPTOR];
    VhidHidDescriptor* descriptor = (VhidHidDescriptor*)irp->UserBuffer;
    if (OutputCapacity(irp) < sizeof(*descriptor)) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    descriptor->bLength = sizeof(*descriptor);
    descriptor->bDescriptorType = VHID_HID_DESCRIPTOR_TYPE;
    descriptor->bcdHID = VHID_BCD_HID;
    descriptor->bCountry = 0;
    descriptor->bNumDescriptors = 1;
    descriptor->bReportType = VHID_REPORT_DESCRIPTOR_TYPE;
    descriptor->wReportLength = BuildReportDescriptor(&state->config, report);
    irp->IoStatus.Information = sizeof(*descriptor);
    return STATUS_SUCCESS;
}

NTSTATUS AnswerReportDescriptor(DeviceState* state, PIRP irp) {
    UCHAR report[VHID_MAX_REPORT_DESCRIPTOR];
    UCHAR* target = (UCHAR*)irp->UserBuffer;
    USHORT length = BuildReportDescriptor(&state->config, report);
    USHORT i;
    if (OutputCapacity(irp) < length) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    for (i = 0; i < length; ++i) {
        target[i] = report[i];
    }
    irp->IoStatus.Information = length;
    return STATUS_SUCCESS;
}

NTSTATUS AnswerAttributes(DeviceState* state, PIRP irp) {
    VhidDeviceAttributes* attributes = (VhidDeviceAttributes*)irp->UserBuffer;
    if (OutputCapacity(irp) < sizeof(*attributes)) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    RtlZeroMemory(attributes, sizeof(*attributes));
    attributes->Size = sizeof(*attributes);
    attributes->VendorID = state->config.vendorId;
    attributes->ProductID = state->config.productId;
    attributes->VersionNumber = state->config.versionNumber;
    irp->IoStatus.Information = sizeof(*attributes);
    return STATUS_SUCCESS;
}

// Both string requests carry their argument in the input pointer itself: the string number
// in the low word, a language in the high word (ignored: the device has one language).
static ULONG StringArgument(PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    return (ULONG)(ULONG_PTR)stack->Parameters.DeviceIoControl.Type3InputBuffer & 0xFFFF;
}

static NTSTATUS CopyStringOut(const WCHAR* text, WCHAR* target, ULONG capacityBytes, PIRP irp) {
    ULONG bytes = (TextLength(text) + 1) * sizeof(WCHAR);
    if (!text[0]) {
        return STATUS_NOT_FOUND;
    }
    if (!target || capacityBytes < bytes) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    CopyText(target, capacityBytes / sizeof(WCHAR), text, bytes / sizeof(WCHAR));
    irp->IoStatus.Information = bytes;
    return STATUS_SUCCESS;
}

NTSTATUS AnswerString(PDEVICE_OBJECT device, PIRP irp) {
    const DeviceConfig* config = &DeviceStateOf(device)->config;
    const WCHAR* text;
    switch (StringArgument(irp)) {
    case VHID_STRING_MANUFACTURER:
    case VHID_WINE_STRING_MANUFACTURER:
        text = config->manufacturer;
        break;
    case VHID_STRING_PRODUCT:
    case VHID_WINE_STRING_PRODUCT:
        text = config->product;
        break;
    case VHID_STRING_SERIAL_NUMBER:
    case VHID_WINE_STRING_SERIAL_NUMBER:
        text = config->serialNumber;
        break;
    default:
        return STATUS_INVALID_PARAMETER;
    }
    return CopyStringOut(text, (WCHAR*)irp->UserBuffer, OutputCapacity(irp), irp);
}

NTSTATUS AnswerIndexedString(PDEVICE_OBJECT device, PIRP irp) {
    WCHAR text[VHID_MAX_TEXT];
    // The output buffer is described by an MDL when the request comes from outside.
    WCHAR* target = irp->MdlAddress
                        ? (WCHAR*)MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority)
                        : (WCHAR*)irp->UserBuffer;
    if (!ReadIndexedString(ClassExtensionOf(device)->PhysicalDeviceObject,
                           &DeviceStateOf(device)->config, StringArgument(irp), text,
                           VHID_MAX_TEXT)) {
        return STATUS_NOT_FOUND;
    }
    return CopyStringOut(text, target, OutputCapacity(irp), irp);
}
