// Answers to the class driver's internal requests. Each returns the status to complete the
// request with, having set its Information; STATUS_PENDING means it is already taken care of.
#ifndef VHID_REQUESTS_H
#define VHID_REQUESTS_H

#include "device_state.h"

// What describes the device: HID descriptor, report descriptor, attributes, strings.
NTSTATUS AnswerHidDescriptor(DeviceState* state, PIRP irp);
NTSTATUS AnswerReportDescriptor(DeviceState* state, PIRP irp);
NTSTATUS AnswerAttributes(DeviceState* state, PIRP irp);
NTSTATUS AnswerString(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS AnswerIndexedString(PDEVICE_OBJECT device, PIRP irp);

// Reports: the interrupt pipes and the control transfers.
NTSTATUS ReadReport(DeviceState* state, PIRP irp);
NTSTATUS WriteReport(DeviceState* state, PIRP irp);
NTSTATUS SetOutputReport(DeviceState* state, PIRP irp);
NTSTATUS SetFeature(DeviceState* state, PIRP irp);
NTSTATUS GetFeature(DeviceState* state, PIRP irp);
NTSTATUS GetInputReport(DeviceState* state, PIRP irp);

NTSTATUS NTAPI DispatchInternalRequest(PDEVICE_OBJECT device, PIRP irp);

#endif
