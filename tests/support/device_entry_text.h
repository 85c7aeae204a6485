// One line that describes an entry of the device table, for programs that print the table.
#pragma once

#include "velmar.h"

#include <string>

std::string DescribeEntry(const HidDeviceEntry& entry);
