// The device's log: one line per request that carries or asks for a report, appended to
// the configured file and closed again at once, so that a test can read it at any time.
#ifndef VHID_REQUEST_LOG_H
#define VHID_REQUEST_LOG_H

#include "device_config.h"

// Appends "<what>[ <byte as two hex digits>...]\n", e.g. "write 42 00 00 00 00 00".
void LogRequest(const DeviceConfig* config, const char* what, const UCHAR* bytes, ULONG count);

#endif
