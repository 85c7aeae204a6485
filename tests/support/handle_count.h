// Counts the handles open in this process. GetProcessHandleCount answers 0 under Wine,
// so every plausible handle value is asked about instead.
#pragma once

int CountOpenHandles();
