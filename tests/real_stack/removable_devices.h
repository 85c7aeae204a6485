// Virtual HID devices that a test adds to and removes from the running system, as a user
// plugs and unplugs them: each is an instance of the virtual device of vendor 1209, set up
// with the INF whose Windows path is in the environment variable VHID_INF.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

constexpr WORD kRemovableVendor = 0x1209;
// Report lengths with the report ID byte, as HIDP_CAPS counts them.
constexpr int kRemovableInputLength = 8;
constexpr int kRemovableOutputLength = 7;
constexpr int kRemovableFeatureLength = 5;

struct RemovableDevice {
    WORD product;
    int instance; // several instances share one vendor and product

    // The serial number each device reports, telling instances apart: "R0001-2".
    std::string Serial() const;
};

// Adds the devices and waits (bounded) until their HID interfaces are there. One driver
// installation serves them all. False, with the reason printed, when the system refused.
bool AddDevices(const std::vector<RemovableDevice>& devices);
bool AddDevice(const RemovableDevice& device);

// Removes the device and waits (bounded) until its HID interface is gone.
bool RemoveDevice(const RemovableDevice& device);

// Removes every instance of the vendor that the system knows, present or left over from an
// earlier run or scenario that ended early, and waits (bounded) until none of their HID
// interfaces is left. False when some still is.
bool RemoveAllDevices();

// The serial numbers of the product's interfaces, in the order in which the system lists
// them, read through hid.dll without the library.
std::vector<std::string> SerialsInListOrder(WORD product);
