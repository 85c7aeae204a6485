#include "requests.h"
#include "request_log.h"

static ULONG DataBytes(USHORT reportLength) {
    return reportLength > 1 ? reportLength - 1u : 0u;
}

// The transfer packet of a request. Windows' class driver passes it in UserBuffer; Wine's
// passes the packet of a report sent to the device as the request's input buffer, which
// lands in Type3InputBuffer or SystemBuffer depending on the request code's method.
static VhidTransferPacket* PacketOf(PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    if (irp->UserBuffer) {
        return (VhidTransferPacket*)irp->UserBuffer;
    }
    if ((stack->Parameters.DeviceIoControl.IoControlCode & 3) == METHOD_NEITHER) {
        return (VhidTransferPacket*)stack->Parameters.DeviceIoControl.Type3InputBuffer;
    }
    return (VhidTransferPacket*)irp->AssociatedIrp.SystemBuffer;
}

static BOOLEAN UsablePacket(const VhidTransferPacket* packet) {
    return packet && packet->reportBuffer;
}

NTSTATUS ReadReport(DeviceState* state, PIRP irp) {
    return ReadFromLoopbackQueue(&state->loopback, irp);
}

NTSTATUS WriteReport(DeviceState* state, PIRP irp) {
    const VhidTransferPacket* packet = PacketOf(irp);
    if (!UsablePacket(packet)) {
        return STATUS_INVALID_PARAMETER;
    }
    LogRequest(&state->config, "write", packet->reportBuffer, packet->reportBufferLen);
    WriteToLoopbackQueue(&state->loopback, packet->reportBuffer, packet->reportBufferLen);
    // Counted as the caller wrote it: with the report ID byte that a device without report
    // IDs never receives. Wine's class driver hands this count on to WriteFile.
    irp->IoStatus.Information = packet->reportBufferLen + (packet->reportId == 0 ? 1 : 0);
    return STATUS_SUCCESS;
}

NTSTATUS SetOutputReport(DeviceState* state, PIRP irp) {
    const VhidTransferPacket* packet = PacketOf(irp);
    if (!UsablePacket(packet)) {
        return STATUS_INVALID_PARAMETER;
    }
    LogRequest(&state->config, "set_output", packet->reportBuffer, packet->reportBufferLen);
    HoldReport(state, &state->lastOutput, packet->reportBuffer, packet->reportBufferLen);
    irp->IoStatus.Information = packet->reportBufferLen;
    return STATUS_SUCCESS;
}

NTSTATUS SetFeature(DeviceState* state, PIRP irp) {
    const VhidTransferPacket* packet = PacketOf(irp);
    if (!UsablePacket(packet)) {
        return STATUS_INVALID_PARAMETER;
    }
    LogRequest(&state->config, "set_feature", packet->reportBuffer, packet->reportBufferLen);
    HoldReport(state, &state->lastFeature, packet->reportBuffer, packet->reportBufferLen);
    irp->IoStatus.Information = packet->reportBufferLen;
    return STATUS_SUCCESS;
}

// Answers with the last feature report set, zeros before the first.
NTSTATUS GetFeature(DeviceState* state, PIRP irp) {
    VhidTransferPacket* packet = PacketOf(irp);
    StoredReport held;
    LogRequest(&state->config, "get_feature", NULL, 0);
    if (!UsablePacket(packet)) {
        return STATUS_INVALID_PARAMETER;
    }
    held = HeldReport(state, &state->lastFeature);
    irp->IoStatus.Information = CopyReportOut(&held, DataBytes(state->config.featureLength),
                                              packet->reportBuffer, packet->reportBufferLen);
    return STATUS_SUCCESS;
}

// Answers with the last output report set, zeros before the first.
NTSTATUS GetInputReport(DeviceState* state, PIRP irp) {
    VhidTransferPacket* packet = PacketOf(irp);
    StoredReport held;
    LogRequest(&state->config, "get_input", NULL, 0);
    if (!UsablePacket(packet)) {
        return STATUS_INVALID_PARAMETER;
    }
    held = HeldReport(state, &state->lastOutput);
    irp->IoStatus.Information = CopyReportOut(&held, DataBytes(state->config.inputLength),
                                              packet->reportBuffer, packet->reportBufferLen);
    return STATUS_SUCCESS;
}
