// A virtual USB HID device for Wine's HID stack: a HID minidriver whose every device
// instance takes its identity, strings and report lengths from its device registry key and
// logs the reports it is given.
#include "hid_minidriver.h"
#include "device_state.h"
#include "pnp_power.h"
#include "requests.h"

static NTSTATUS NTAPI AddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT device) {
    (void)driver;
    InitializeDeviceState(DeviceStateOf(device));
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

static void NTAPI Unload(PDRIVER_OBJECT driver) {
    (void)driver;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    VhidMinidriverRegistration registration;

    driver->MajorFunction[IRP_MJ_PNP] = DispatchPnp;
    driver->MajorFunction[IRP_MJ_POWER] = DispatchPower;
    driver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = DispatchInternalRequest;
    driver->DriverExtension->AddDevice = AddDevice;
    driver->DriverUnload = Unload;

    RtlZeroMemory(&registration, sizeof(registration));
    registration.Revision = VHID_REVISION;
    registration.DriverObject = driver;
    registration.RegistryPath = registryPath;
    registration.DeviceExtensionSize = sizeof(DeviceState);
    // Reads wait for the next report instead of being polled.
    registration.DevicesArePolled = FALSE;
    return HidRegisterMinidriver(&registration);
}
