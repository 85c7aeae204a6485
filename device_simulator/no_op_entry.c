/* The entry point of a DLL without code, where the linker (lld) takes no empty one: it
 * accepts every load and does nothing else. */
#include <windows.h>

BOOL WINAPI NoOpEntry(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
