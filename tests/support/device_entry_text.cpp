#include "device_entry_text.h"

#include <cstdio>

std::string DescribeEntry(const HidDeviceEntry& entry) {
    char text[1024];
    std::snprintf(text, sizeof text,
                  "%04X:%04X v%04X  in/out/feature %u/%u/%u bytes  %u buffers  \"%s\" \"%s\" "
                  "\"%s\"",
                  entry.VendorID, entry.ProductID, entry.VersionNumber, entry.InputReportByteLength,
                  entry.OutputReportByteLength, entry.FeatureReportByteLength,
                  entry.NumInputBuffers, entry.Manufacturer ? entry.Manufacturer : "",
                  entry.Product ? entry.Product : "", entry.SerialNumber ? entry.SerialNumber : "");
    return text;
}
