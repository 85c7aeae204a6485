#include "stored_report.h"

void StoreReport(StoredReport* report, const UCHAR* bytes, ULONG length) {
    ULONG i;
    if (length > sizeof(report->bytes)) {
        length = sizeof(report->bytes);
    }
    for (i = 0; i < length; ++i) {
        report->bytes[i] = bytes[i];
    }
    report->length = length;
}

ULONG CopyReportOut(const StoredReport* report, ULONG reportLength, UCHAR* target, ULONG capacity) {
    ULONG count = reportLength < capacity ? reportLength : capacity;
    ULONG i;
    for (i = 0; i < count; ++i) {
        target[i] = i < report->length ? report->bytes[i] : 0;
    }
    return count;
}
