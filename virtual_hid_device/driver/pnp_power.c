#include "pnp_power.h"
#include "device_state.h"

// Reads the configuration afresh, so that a changed configuration takes effect whenever
// the device starts again.
static NTSTATUS StartDevice(PDEVICE_OBJECT device) {
    DeviceState* state = DeviceStateOf(device);
    NTSTATUS status =
        ReadDeviceConfig(ClassExtensionOf(device)->PhysicalDeviceObject, &state->config);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    // An absent device fails its start, so the class driver presents no HID interface.
    if (!state->config.present) {
        return STATUS_DEVICE_NOT_CONNECTED;
    }
    ResetDeviceState(state);
    return STATUS_SUCCESS;
}

static NTSTATUS PassDown(PDEVICE_OBJECT device, PIRP irp) {
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(ClassExtensionOf(device)->NextDeviceObject, irp);
}

NTSTATUS NTAPI DispatchPnp(PDEVICE_OBJECT device, PIRP irp) {
    DeviceState* state = DeviceStateOf(device);
    NTSTATUS status;

    switch (IoGetCurrentIrpStackLocation(irp)->MinorFunction) {
    case IRP_MN_START_DEVICE:
        status = StartDevice(device);
        if (!NT_SUCCESS(status)) {
            irp->IoStatus.Status = status;
            IoCompleteRequest(irp, IO_NO_INCREMENT);
            return status;
        }
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    case IRP_MN_QUERY_REMOVE_DEVICE:
    case IRP_MN_SURPRISE_REMOVAL:
    case IRP_MN_STOP_DEVICE:
    case IRP_MN_REMOVE_DEVICE:
        // The class driver waits for its read to end before it lets the device go.
        CloseLoopbackQueue(&state->loopback);
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    case IRP_MN_CANCEL_REMOVE_DEVICE:
        ResetDeviceState(state);
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    default:
        break;
    }
    return PassDown(device, irp);
}

NTSTATUS NTAPI DispatchPower(PDEVICE_OBJECT device, PIRP irp) {
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(ClassExtensionOf(device)->NextDeviceObject, irp);
}
