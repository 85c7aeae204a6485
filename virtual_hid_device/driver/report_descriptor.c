#include "report_descriptor.h"

// Short items of the HID report descriptor: tag, type and size in the prefix byte.
enum {
    kUsagePage16 = 0x06,
    kUsage8 = 0x09,
    kCollection8 = 0xA1,
    kEndCollection = 0xC0,
    kLogicalMinimum8 = 0x15,
    kLogicalMaximum16 = 0x26,
    kReportSize8 = 0x75,
    kReportCount8 = 0x95,
    kInput8 = 0x81,
    kOutput8 = 0x91,
    kFeature8 = 0xB1,
};

enum {
    kVendorPage = 0xFF00,
    kApplication = 0x01,
    kDataVariableAbsolute = 0x02,
};

typedef struct Writer {
    UCHAR* bytes;
    USHORT length;
} Writer;

static void Put(Writer* writer, UCHAR byte) {
    writer->bytes[writer->length++] = byte;
}

// A main item for a report of `length` bytes including the report ID byte, which a device
// without report IDs does not send.
static void PutReport(Writer* writer, UCHAR usage, UCHAR mainItem, USHORT length) {
    if (length < 2) {
        return;
    }
    Put(writer, kUsage8);
    Put(writer, usage);
    Put(writer, kReportCount8);
    Put(writer, (UCHAR)(length - 1));
    Put(writer, mainItem);
    Put(writer, kDataVariableAbsolute);
}

USHORT BuildReportDescriptor(const DeviceConfig* config,
                             UCHAR descriptor[VHID_MAX_REPORT_DESCRIPTOR]) {
    Writer writer = {descriptor, 0};
    Put(&writer, kUsagePage16);
    Put(&writer, kVendorPage & 0xFF);
    Put(&writer, kVendorPage >> 8);
    Put(&writer, kUsage8);
    Put(&writer, 0x01);
    Put(&writer, kCollection8);
    Put(&writer, kApplication);
    Put(&writer, kLogicalMinimum8);
    Put(&writer, 0x00);
    Put(&writer, kLogicalMaximum16);
    Put(&writer, 0xFF);
    Put(&writer, 0x00);
    Put(&writer, kReportSize8);
    Put(&writer, 8);
    PutReport(&writer, 0x01, kInput8, config->inputLength);
    PutReport(&writer, 0x02, kOutput8, config->outputLength);
    PutReport(&writer, 0x03, kFeature8, config->featureLength);
    Put(&writer, kEndCollection);
    return writer.length;
}
