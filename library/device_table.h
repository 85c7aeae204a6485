// HID_DeviceInfo's work: the HidDeviceTable that describes every present HID interface.
#pragma once

#include "velmar.h"

// Fills `table` from a walk over the present interfaces, opened for query. True when the
// walk saw at least one interface, whether or not any of them opened.
BOOL FillDeviceTable(HidDeviceTable& table);
