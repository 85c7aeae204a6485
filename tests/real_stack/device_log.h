// The log of a virtual HID device, read from inside the prefix: one line per report or
// report request the device received.
#pragma once

#include <string>
#include <vector>

// The lines of the log whose Windows path is in the environment variable
// REAL_STACK_DEVICE_LOG; none while the device has logged nothing.
std::vector<std::string> DeviceLogLines();

// The lines logged since `before` was read.
std::vector<std::string> LinesAfter(const std::vector<std::string>& before);
