// Plug and Play and power requests: the device starts only when its configuration says it
// is present, and its waiting reads end when it goes away.
#ifndef VHID_PNP_POWER_H
#define VHID_PNP_POWER_H

#include <ntddk.h>

NTSTATUS NTAPI DispatchPnp(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS NTAPI DispatchPower(PDEVICE_OBJECT device, PIRP irp);

#endif
