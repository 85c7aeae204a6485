#include "requests.h"

NTSTATUS NTAPI DispatchInternalRequest(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    DeviceState* state = DeviceStateOf(device);
    NTSTATUS status;

    irp->IoStatus.Information = 0;
    switch (stack->Parameters.DeviceIoControl.IoControlCode) {
    case VHID_GET_DEVICE_DESCRIPTOR:
        status = AnswerHidDescriptor(state, irp);
        break;
    case VHID_GET_REPORT_DESCRIPTOR:
        status = AnswerReportDescriptor(state, irp);
        break;
    case VHID_GET_DEVICE_ATTRIBUTES:
        status = AnswerAttributes(state, irp);
        break;
    case VHID_GET_STRING:
        status = AnswerString(device, irp);
        break;
    case VHID_GET_INDEXED_STRING:
        status = AnswerIndexedString(device, irp);
        break;
    case VHID_READ_REPORT:
        // Completes the request itself, now or later.
        return ReadReport(state, irp);
    case VHID_WRITE_REPORT:
        status = WriteReport(state, irp);
        break;
    case VHID_SET_OUTPUT_REPORT:
        status = SetOutputReport(state, irp);
        break;
    case VHID_SET_FEATURE:
        status = SetFeature(state, irp);
        break;
    case VHID_GET_FEATURE:
        status = GetFeature(state, irp);
        break;
    case VHID_GET_INPUT_REPORT:
        status = GetInputReport(state, irp);
        break;
    case VHID_ACTIVATE_DEVICE:
    case VHID_DEACTIVATE_DEVICE:
        status = STATUS_SUCCESS;
        break;
    default:
        // Idle notification and anything newer: a virtual device has no use for them.
        status = STATUS_NOT_SUPPORTED;
        break;
    }
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}
