// The device instance in the system's device tree: a root-enumerated HID class device that
// carries the driver's hardware ID, its configuration in the device registry key.
#pragma once

#include "install_request.h"

#include <string>
#include <vector>

// The hardware ID that the INF's model line names; every instance carries it.
extern const wchar_t kVirtualHidHardwareId[];

// Creates and registers the instance unless it exists. Returns false with `error` set.
bool EnsureDeviceInstance(const std::wstring& instanceId, std::wstring& error);

// Writes the values into the instance's device registry key (which the driver opens with
// IoOpenDeviceRegistryKey(PLUGPLAY_REGKEY_DEVICE)).
bool WriteDeviceValues(const std::wstring& instanceId, const std::vector<DeviceValue>& values,
                       std::wstring& error);

// Removes the instance as the system removes an unplugged device: its driver stack is torn
// down and its HID interface disappears while the system runs.
bool RemoveDeviceInstance(const std::wstring& instanceId, std::wstring& error);

// Installs the INF's driver on the one instance, which starts it at once: a device added
// while the driver already runs for others.
bool InstallDriverOnInstance(const std::wstring& instanceId, const std::wstring& infPath,
                             std::wstring& error);

// Installs the INF's driver on every device instance that carries the hardware ID.
bool InstallDriver(const std::wstring& infPath, std::wstring& error);
