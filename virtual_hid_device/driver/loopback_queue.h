// Input reports for the class driver's reads: every report written to the device comes
// back as an input report. A read finds a waiting report or waits (pended, cancellable)
// for the next one; closing the queue ends every waiting read, so none outlives the device.
#ifndef VHID_LOOPBACK_QUEUE_H
#define VHID_LOOPBACK_QUEUE_H

#include "stored_report.h"

#define VHID_QUEUED_REPORTS 16

typedef struct LoopbackQueue {
    KSPIN_LOCK lock;
    LIST_ENTRY waitingReads;
    StoredReport reports[VHID_QUEUED_REPORTS];
    ULONG first;
    ULONG count;
    BOOLEAN open;
    ULONG reportLength; // input report bytes without the report ID byte
} LoopbackQueue;

void InitializeLoopbackQueue(LoopbackQueue* queue);
// Opens the queue empty, for input reports of `reportLength` bytes.
void OpenLoopbackQueue(LoopbackQueue* queue, ULONG reportLength);
// Refuses further reads and completes the waiting ones with STATUS_DELETE_PENDING.
void CloseLoopbackQueue(LoopbackQueue* queue);

// Serves a read request (IRP_MJ_INTERNAL_DEVICE_CONTROL, the report buffer in UserBuffer):
// completes it, or marks it pending and returns STATUS_PENDING.
NTSTATUS ReadFromLoopbackQueue(LoopbackQueue* queue, PIRP irp);
// Hands a written report to a waiting read, or keeps it (dropping the oldest when full).
void WriteToLoopbackQueue(LoopbackQueue* queue, const UCHAR* bytes, ULONG length);

#endif
