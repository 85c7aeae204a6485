// Compiled with the execution character set CP1251: every text below reaches MessageBoxA
// as Windows-1251 bytes.
#include "messages.h"

#include <windows.h>

namespace {

const char kLibraryMissingCaption[] = "";
const char kLibraryMissingText[] = "Отсутствует файл \"Velmar.dll\"";
const char kDeviceMissingCaption[] = "MX31K";
const char kDeviceMissingText[] = "Устройство не подключено к компьютеру!";

// The message belongs to the window in front only when that window is this program's
// own; a box owned by another program's window would be tied to a stranger.
HWND MessageOwner() {
    HWND foreground = GetForegroundWindow();
    if (!foreground) {
        return nullptr;
    }
    DWORD processId = 0;
    GetWindowThreadProcessId(foreground, &processId);
    return processId == GetCurrentProcessId() ? foreground : nullptr;
}

void ShowError(const char* text, const char* caption) {
    MessageBoxA(MessageOwner(), text, caption, MB_ICONERROR | MB_OK);
}

} // namespace

void ShowLibraryMissing() {
    ShowError(kLibraryMissingText, kLibraryMissingCaption);
}

void ShowDeviceMissing() {
    ShowError(kDeviceMissingText, kDeviceMissingCaption);
}
