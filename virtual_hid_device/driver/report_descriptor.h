// The report descriptor of a configured device: one vendor-defined application collection
// without report IDs, holding byte arrays of the configured input, output and feature
// report lengths.
#ifndef VHID_REPORT_DESCRIPTOR_H
#define VHID_REPORT_DESCRIPTOR_H

#include "device_config.h"

#define VHID_MAX_REPORT_DESCRIPTOR 48

// Writes the descriptor into `descriptor` and returns its length.
USHORT BuildReportDescriptor(const DeviceConfig* config,
                             UCHAR descriptor[VHID_MAX_REPORT_DESCRIPTOR]);

#endif
