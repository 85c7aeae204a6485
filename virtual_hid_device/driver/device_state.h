// What the driver keeps per device: its configuration, the loopback queue for reads, and
// the last feature report and output report it was given, which it answers requests for
// those reports with.
#ifndef VHID_DEVICE_STATE_H
#define VHID_DEVICE_STATE_H

#include "hid_minidriver.h"
#include "device_config.h"
#include "loopback_queue.h"

typedef struct DeviceState {
    DeviceConfig config;
    LoopbackQueue loopback;
    KSPIN_LOCK heldLock;
    StoredReport lastFeature;
    StoredReport lastOutput;
} DeviceState;

static inline VhidDeviceExtension* ClassExtensionOf(PDEVICE_OBJECT device) {
    return (VhidDeviceExtension*)device->DeviceExtension;
}

static inline DeviceState* DeviceStateOf(PDEVICE_OBJECT device) {
    return (DeviceState*)ClassExtensionOf(device)->MiniDeviceExtension;
}

void InitializeDeviceState(DeviceState* state);
// Forgets the held reports and opens the loopback queue for the configured input length.
void ResetDeviceState(DeviceState* state);

void HoldReport(DeviceState* state, StoredReport* slot, const UCHAR* bytes, ULONG length);
StoredReport HeldReport(DeviceState* state, const StoredReport* slot);

#endif
