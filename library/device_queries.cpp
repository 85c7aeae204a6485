#include "device_queries.h"

#include "platform_binding.h"

CapsQuery QueryCaps(HANDLE device, HIDP_CAPS& caps) {
    const HidEntryTable& entries = HidEntries();
    // All three or none: preparsed data is never obtained without a way to give it back.
    if (!entries.HidD_GetPreparsedData || !entries.HidP_GetCaps ||
        !entries.HidD_FreePreparsedData) {
        return CapsQuery::NoPreparsedData;
    }
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (!entries.HidD_GetPreparsedData(device, &preparsed)) {
        return CapsQuery::NoPreparsedData;
    }
    const LONG status = entries.HidP_GetCaps(preparsed, &caps);
    entries.HidD_FreePreparsedData(preparsed);
    return status == HIDP_STATUS_SUCCESS ? CapsQuery::CapsRead : CapsQuery::CapsRefused;
}

ULONG QueryNumInputBuffers(HANDLE device) {
    const HidD_GetNumInputBuffers_t query = HidEntries().HidD_GetNumInputBuffers;
    ULONG count = 0;
    if (!device || !query || !query(device, &count)) {
        return 0;
    }
    return count;
}
