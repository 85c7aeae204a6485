/*
 * hidlist: lists every present HID interface through Velmar.dll's HID_DeviceInfo.
 *
 * Build (MinGW):  gcc -o hidlist.exe hidlist.c -Iinclude
 * Build (MSVC):   cl hidlist.c /Iinclude
 * Velmar.dll is loaded at run time from beside the program or from the search path.
 */
#include <stdio.h>

#include "velmar.h"

/* Static, so zero-filled as a fresh table must be. */
static HidDeviceTable table;

int main(void) {
    HMODULE library = LoadLibraryA("Velmar.dll");
    PFN_HID_DeviceInfo deviceInfo;
    int i;

    if (!library) {
        printf("Velmar.dll could not be loaded (error %lu).\n", (unsigned long)GetLastError());
        return 1;
    }
    /* Through a plain function pointer: FARPROC's own type differs from every export's. */
    deviceInfo = (PFN_HID_DeviceInfo)(void (*)(void))GetProcAddress(library, "HID_DeviceInfo");
    if (!deviceInfo) {
        printf("This Velmar.dll has no HID_DeviceInfo.\n");
        return 1;
    }
    if (!deviceInfo(&table)) {
        printf("No HID interface is present.\n");
        return 0;
    }
    printf("Index  VID:PID    Version  In/Out/Feature  Buffers  Manufacturer / Product / Serial\n");
    for (i = 0; i < table.Count; ++i) {
        const HidDeviceEntry* entry = &table.Entries[i];
        /* An entry the library never filled: the interface could not be opened. */
        if (!entry->Manufacturer) {
            printf("%5d  (present, but could not be opened)\n", i);
            continue;
        }
        printf("%5d  %04X:%04X  %04X     %3u/%3u/%3u     %7u  \"%s\" / \"%s\" / \"%s\"\n", i,
               entry->VendorID, entry->ProductID, entry->VersionNumber,
               entry->InputReportByteLength, entry->OutputReportByteLength,
               entry->FeatureReportByteLength, entry->NumInputBuffers, entry->Manufacturer,
               entry->Product, entry->SerialNumber);
    }
    printf("%u interface(s) listed.\n", table.Count);
    FreeLibrary(library);
    return 0;
}
