#include "device_state.h"

// Bytes of a report after the report ID byte, which this device never sends.
static ULONG DataBytes(USHORT reportLength) {
    return reportLength > 1 ? reportLength - 1u : 0u;
}

void InitializeDeviceState(DeviceState* state) {
    RtlZeroMemory(state, sizeof(*state));
    InitializeLoopbackQueue(&state->loopback);
    KeInitializeSpinLock(&state->heldLock);
}

void ResetDeviceState(DeviceState* state) {
    KIRQL irql;
    KeAcquireSpinLock(&state->heldLock, &irql);
    state->lastFeature.length = 0;
    state->lastOutput.length = 0;
    KeReleaseSpinLock(&state->heldLock, irql);
    OpenLoopbackQueue(&state->loopback, DataBytes(state->config.inputLength));
}

void HoldReport(DeviceState* state, StoredReport* slot, const UCHAR* bytes, ULONG length) {
    KIRQL irql;
    KeAcquireSpinLock(&state->heldLock, &irql);
    StoreReport(slot, bytes, length);
    KeReleaseSpinLock(&state->heldLock, irql);
}

StoredReport HeldReport(DeviceState* state, const StoredReport* slot) {
    StoredReport copy;
    KIRQL irql;
    KeAcquireSpinLock(&state->heldLock, &irql);
    copy = *slot;
    KeReleaseSpinLock(&state->heldLock, irql);
    return copy;
}
