/*
 * Velmar.dll: find, open and talk to USB HID devices through sixteen flat functions.
 *
 * Every function uses the stdcall convention and returns one value. Identities, lengths
 * and string indexes are 32-bit integers; handles and pointers are pointer-sized: 32-bit
 * in the x86 library, 64-bit in the x64 one (where the compiler ignores __stdcall). Failure is
 * always a result of 0 (a null handle, a zero count, a false flag) or, for text, the empty string;
 * the platform's last-error value is left as the platform set it.
 *
 * Threading: HID_DeviceTest, HID_OpenDevice, HID_DeviceInfo and the four string
 * functions share the library's string storage and must be called one at a time. The
 * other nine may be called from any thread at any time.
 */
#ifndef VELMAR_H
#define VELMAR_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VELMAR_CALL __stdcall

/* Callers import the functions; the library itself is built with VELMAR_BUILDING_LIBRARY. */
#ifdef VELMAR_BUILDING_LIBRARY
#define VELMAR_API
#else
#define VELMAR_API __declspec(dllimport)
#endif

/* VersionNumber argument that matches every version of a device. */
#define VELMAR_ANY_VERSION (-1)

/* The platform's HIDP_CAPS record (hidpi.h); only a pointer to it crosses the interface. */
struct _HIDP_CAPS;

/*
 * Device identity: ProductID, VendorID, VersionNumber and Index travel as 32-bit values
 * of which only the low 16 bits are read. Index counts the matching interfaces that the
 * call could open, from 0 in enumeration order. Note the order: product before vendor.
 */
VELMAR_API BOOL VELMAR_CALL HID_DeviceTest(int productId, int vendorId, int versionNumber,
                                           int index);
VELMAR_API HANDLE VELMAR_CALL HID_OpenDevice(int productId, int vendorId, int versionNumber,
                                             int index);
VELMAR_API BOOL VELMAR_CALL HID_CloseDevice(HANDLE device);

/* Report buffers start with the report ID byte (0 for devices without report IDs). */
VELMAR_API DWORD VELMAR_CALL HID_WriteDevice(HANDLE device, const void* report, int length);
VELMAR_API DWORD VELMAR_CALL HID_ReadDevice(HANDLE device, void* report, int length);
VELMAR_API BOOL VELMAR_CALL HID_GetFeature(HANDLE device, void* report, int length);
VELMAR_API BOOL VELMAR_CALL HID_SetFeature(HANDLE device, const void* report, int length);
VELMAR_API BOOL VELMAR_CALL HID_GetInputReport(HANDLE device, void* report, int length);
VELMAR_API BOOL VELMAR_CALL HID_SetOutputReport(HANDLE device, const void* report, int length);

VELMAR_API BOOL VELMAR_CALL HID_GetCaps(HANDLE device, struct _HIDP_CAPS* caps);
VELMAR_API ULONG VELMAR_CALL HID_GetNumInputBuffers(HANDLE device);

/*
 * Device strings in the system's ANSI code page. The text belongs to the library and
 * stays valid until the caller's next call into the library: copy it at once.
 */
VELMAR_API const char* VELMAR_CALL HID_GetManufacturerString(HANDLE device);
VELMAR_API const char* VELMAR_CALL HID_GetProductString(HANDLE device);
VELMAR_API const char* VELMAR_CALL HID_GetSerialNumberString(HANDLE device);
VELMAR_API const char* VELMAR_CALL HID_GetIndexedString(HANDLE device, ULONG stringIndex);

/*
 * The table that HID_DeviceInfo fills: entry i describes the interface with member index i
 * in the platform's enumeration; Count is one more than the index of the last interface
 * that could be opened. The three string fields point to text that the library allocates
 * and reuses when the same table is passed again: prepare a fresh table by zero-filling it,
 * never free the strings, and put nothing but 0 or the library's own earlier pointers there.
 */
#pragma pack(push, 1)
typedef struct HidDeviceEntry {
    USHORT VendorID;
    USHORT ProductID;
    USHORT VersionNumber;
    USHORT NumInputBuffers;
    USHORT InputReportByteLength;
    USHORT OutputReportByteLength;
    USHORT FeatureReportByteLength;
    char* Manufacturer;
    char* Product;
    char* SerialNumber;
} HidDeviceEntry;

#define VELMAR_TABLE_ENTRIES 256

typedef struct HidDeviceTable {
    USHORT Count;
    HidDeviceEntry Entries[VELMAR_TABLE_ENTRIES];
} HidDeviceTable;
#pragma pack(pop)

/*
 * Compile-time size checks that work in C89 as well: a wrong size is a negative array. The
 * three string pointers are 4 bytes in the x86 library and 8 in the x64 one.
 */
#define VELMAR_IF_64_BIT(x64, x86) (sizeof(void*) == 8 ? (x64) : (x86))
typedef char
    VelmarHidDeviceEntryIs26Or38Bytes[sizeof(HidDeviceEntry) == VELMAR_IF_64_BIT(38, 26) ? 1 : -1];
typedef char VelmarHidDeviceTableIs6658Or9730Bytes
    [sizeof(HidDeviceTable) == VELMAR_IF_64_BIT(9730, 6658) ? 1 : -1];

/* 1 if at least one HID interface is present (whether or not any could be opened). */
VELMAR_API BOOL VELMAR_CALL HID_DeviceInfo(HidDeviceTable* table);

/*
 * Function-pointer types for callers that load the library at run time:
 *     PFN_HID_DeviceTest deviceTest =
 *         (PFN_HID_DeviceTest)GetProcAddress(LoadLibraryA("Velmar.dll"), "HID_DeviceTest");
 */
typedef BOOL(VELMAR_CALL* PFN_HID_DeviceTest)(int productId, int vendorId, int versionNumber,
                                              int index);
typedef HANDLE(VELMAR_CALL* PFN_HID_OpenDevice)(int productId, int vendorId, int versionNumber,
                                                int index);
typedef BOOL(VELMAR_CALL* PFN_HID_CloseDevice)(HANDLE device);
typedef DWORD(VELMAR_CALL* PFN_HID_WriteDevice)(HANDLE device, const void* report, int length);
typedef DWORD(VELMAR_CALL* PFN_HID_ReadDevice)(HANDLE device, void* report, int length);
typedef BOOL(VELMAR_CALL* PFN_HID_GetFeature)(HANDLE device, void* report, int length);
typedef BOOL(VELMAR_CALL* PFN_HID_SetFeature)(HANDLE device, const void* report, int length);
typedef BOOL(VELMAR_CALL* PFN_HID_GetInputReport)(HANDLE device, void* report, int length);
typedef BOOL(VELMAR_CALL* PFN_HID_SetOutputReport)(HANDLE device, const void* report, int length);
typedef BOOL(VELMAR_CALL* PFN_HID_GetCaps)(HANDLE device, struct _HIDP_CAPS* caps);
typedef ULONG(VELMAR_CALL* PFN_HID_GetNumInputBuffers)(HANDLE device);
typedef const char*(VELMAR_CALL* PFN_HID_GetManufacturerString)(HANDLE device);
typedef const char*(VELMAR_CALL* PFN_HID_GetProductString)(HANDLE device);
typedef const char*(VELMAR_CALL* PFN_HID_GetSerialNumberString)(HANDLE device);
typedef const char*(VELMAR_CALL* PFN_HID_GetIndexedString)(HANDLE device, ULONG stringIndex);
typedef BOOL(VELMAR_CALL* PFN_HID_DeviceInfo)(HidDeviceTable* table);

#ifdef __cplusplus
}
#endif

#endif /* VELMAR_H */
