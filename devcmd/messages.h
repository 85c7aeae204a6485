// The two messages devcmd shows, in Russian, through the ANSI message box.
#pragma once

void ShowLibraryMissing();
void ShowDeviceMissing();
