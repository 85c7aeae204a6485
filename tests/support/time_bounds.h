#pragma once
// Generous time bounds of the test programs (a program's start, a message box's painting,
// a whole run) stretch by VELMAR_TIME_SCALE, which the project's scripts set to more than 1
// when Windows programs run on an emulated CPU. Bounds that check a program's own timing
// never stretch.
#include <windows.h>

#include <cstdlib>

inline DWORD ScaledBound(DWORD milliseconds) {
    char text[16] = {};
    const DWORD length = GetEnvironmentVariableA("VELMAR_TIME_SCALE", text, sizeof text);
    const long scale = length > 0 && length < sizeof text ? std::strtol(text, nullptr, 10) : 1;
    return scale > 1 ? milliseconds * static_cast<DWORD>(scale) : milliseconds;
}
