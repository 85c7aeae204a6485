// A report's bytes (without the report ID byte) as the device keeps them.
#ifndef VHID_STORED_REPORT_H
#define VHID_STORED_REPORT_H

#include "device_config.h"

typedef struct StoredReport {
    UCHAR bytes[VHID_MAX_REPORT_LENGTH];
    ULONG length;
} StoredReport;

void StoreReport(StoredReport* report, const UCHAR* bytes, ULONG length);

// Copies the report into `target` as a report of `reportLength` bytes: cut to that length,
// or padded with zeros. Returns the number of bytes written (at most `capacity`).
ULONG CopyReportOut(const StoredReport* report, ULONG reportLength, UCHAR* target, ULONG capacity);

#endif
