#include "loopback_queue.h"

static NTSTATUS CompleteRead(PIRP irp, NTSTATUS status) {
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static void FillRead(LoopbackQueue* queue, PIRP irp, const StoredReport* report) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    irp->IoStatus.Information = CopyReportOut(report, queue->reportLength, (UCHAR*)irp->UserBuffer,
                                              stack->Parameters.DeviceIoControl.OutputBufferLength);
}

static void NTAPI CancelRead(PDEVICE_OBJECT device, PIRP irp) {
    LoopbackQueue* queue = (LoopbackQueue*)irp->Tail.Overlay.DriverContext[0];
    KIRQL irql;
    (void)device;
    IoReleaseCancelSpinLock(irp->CancelIrql);
    KeAcquireSpinLock(&queue->lock, &irql);
    RemoveEntryList(&irp->Tail.Overlay.ListEntry);
    KeReleaseSpinLock(&queue->lock, irql);
    irp->IoStatus.Information = 0;
    CompleteRead(irp, STATUS_CANCELLED);
}

// Takes the oldest waiting read that is not being cancelled; caller holds the lock.
static PIRP TakeWaitingRead(LoopbackQueue* queue) {
    while (!IsListEmpty(&queue->waitingReads)) {
        PLIST_ENTRY entry = RemoveHeadList(&queue->waitingReads);
        PIRP irp = CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
        if (IoSetCancelRoutine(irp, NULL)) {
            return irp;
        }
        // Its cancel routine runs already and will unlink this (now self-linked) entry.
        InitializeListHead(entry);
    }
    return NULL;
}

void InitializeLoopbackQueue(LoopbackQueue* queue) {
    KeInitializeSpinLock(&queue->lock);
    InitializeListHead(&queue->waitingReads);
    queue->first = 0;
    queue->count = 0;
    queue->open = FALSE;
    queue->reportLength = 0;
}

void OpenLoopbackQueue(LoopbackQueue* queue, ULONG reportLength) {
    KIRQL irql;
    KeAcquireSpinLock(&queue->lock, &irql);
    queue->first = 0;
    queue->count = 0;
    queue->reportLength = reportLength;
    queue->open = TRUE;
    KeReleaseSpinLock(&queue->lock, irql);
}

void CloseLoopbackQueue(LoopbackQueue* queue) {
    LIST_ENTRY ended;
    PIRP irp;
    KIRQL irql;

    InitializeListHead(&ended);
    KeAcquireSpinLock(&queue->lock, &irql);
    queue->open = FALSE;
    while ((irp = TakeWaitingRead(queue))) {
        InsertTailList(&ended, &irp->Tail.Overlay.ListEntry);
    }
    KeReleaseSpinLock(&queue->lock, irql);

    while (!IsListEmpty(&ended)) {
        irp = CONTAINING_RECORD(RemoveHeadList(&ended), IRP, Tail.Overlay.ListEntry);
        irp->IoStatus.Information = 0;
        CompleteRead(irp, STATUS_DELETE_PENDING);
    }
}

NTSTATUS ReadFromLoopbackQueue(LoopbackQueue* queue, PIRP irp) {
    StoredReport report;
    KIRQL irql;

    KeAcquireSpinLock(&queue->lock, &irql);
    if (!queue->open) {
        KeReleaseSpinLock(&queue->lock, irql);
        irp->IoStatus.Information = 0;
        return CompleteRead(irp, STATUS_DELETE_PENDING);
    }
    if (queue->count) {
        report = queue->reports[queue->first];
        queue->first = (queue->first + 1) % VHID_QUEUED_REPORTS;
        --queue->count;
        KeReleaseSpinLock(&queue->lock, irql);
        FillRead(queue, irp, &report);
        return CompleteRead(irp, STATUS_SUCCESS);
    }
    irp->Tail.Overlay.DriverContext[0] = queue;
    IoSetCancelRoutine(irp, CancelRead);
    IoMarkIrpPending(irp);
    if (!irp->Cancel) {
        InsertTailList(&queue->waitingReads, &irp->Tail.Overlay.ListEntry);
    } else if (IoSetCancelRoutine(irp, NULL)) {
        KeReleaseSpinLock(&queue->lock, irql);
        irp->IoStatus.Information = 0;
        CompleteRead(irp, STATUS_CANCELLED);
        return STATUS_PENDING;
    } else {
        // Its cancel routine runs already: it completes the request and unlinks this
        // self-linked entry once it gets the lock.
        InitializeListHead(&irp->Tail.Overlay.ListEntry);
    }
    KeReleaseSpinLock(&queue->lock, irql);
    return STATUS_PENDING;
}

void WriteToLoopbackQueue(LoopbackQueue* queue, const UCHAR* bytes, ULONG length) {
    StoredReport report;
    PIRP reader = NULL;
    KIRQL irql;

    StoreReport(&report, bytes, length);
    KeAcquireSpinLock(&queue->lock, &irql);
    if (queue->open) {
        reader = TakeWaitingRead(queue);
        if (!reader) {
            if (queue->count == VHID_QUEUED_REPORTS) {
                queue->first = (queue->first + 1) % VHID_QUEUED_REPORTS;
                --queue->count;
            }
            queue->reports[(queue->first + queue->count) % VHID_QUEUED_REPORTS] = report;
            ++queue->count;
        }
    }
    KeReleaseSpinLock(&queue->lock, irql);

    if (reader) {
        FillRead(queue, reader, &report);
        CompleteRead(reader, STATUS_SUCCESS);
    }
}
