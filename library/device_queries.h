// The queries of one open device that both its exports and the device table make: the
// capabilities and the number of input buffers.
#pragma once

#include "platform_types.h"

enum class CapsQuery {
    NoPreparsedData, // nothing was asked of HidP_GetCaps; `caps` is untouched
    CapsRefused,     // the preparsed data came, but HidP_GetCaps did not succeed
    CapsRead,
};

// Asks for the preparsed data, the capabilities from it, and gives the data back. Only
// CapsRead makes `caps` meaningful: a refused query may have written part of it.
CapsQuery QueryCaps(HANDLE device, HIDP_CAPS& caps);

// The platform's count of input buffers; 0 when the query fails or cannot be made.
ULONG QueryNumInputBuffers(HANDLE device);
