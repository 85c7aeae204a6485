/**
 * @file velmar.h
 * @brief Velmar.dll: find, open and talk to USB HID devices through sixteen flat functions.
 *
 * Every function uses the stdcall convention (#VELMAR_CALL) and returns one value. Identities,
 * lengths and string indexes are 32-bit integers; handles and pointers are pointer-sized:
 * 32-bit in the x86 library, 64-bit in the x64 and ARM64 ones (whose compilers ignore
 * __stdcall).
 * The DLL exports the functions under their plain names, without stdcall decoration.
 *
 * Failure is always a result of 0 (a null handle, a zero count, FALSE) or, for text, the
 * empty string; no function returns a null pointer to text. The library never sets the
 * platform's last-error value itself: a call that the library refuses leaves it untouched,
 * and otherwise it is what the call's platform requests left there, after a failed report
 * request the platform's reason.
 *
 * Threading: the library starts no threads and takes no locks; each call runs on the
 * caller's thread. HID_DeviceTest(), HID_OpenDevice(), HID_DeviceInfo() and the four string
 * functions share the library's string storage and must be called one at a time: a program
 * that calls them from several threads serializes those calls itself. The other nine may be
 * called from any thread at any time, also while another thread is inside one of the seven.
 *
 * Ownership: a handle from HID_OpenDevice() is the caller's until it passes it to
 * HID_CloseDevice(). Report buffers and the HidDeviceTable are the caller's; the library
 * uses them only during a call. Text that the string functions return, and the strings that
 * HID_DeviceInfo() stores in a table, belong to the library: the caller never frees them.
 */

/**
 * @mainpage Velmar
 *
 * @copydoc velmar.h
 *
 * @par Functions, one page each
 * - Finding devices: HID_DeviceTest(), HID_OpenDevice(), HID_CloseDevice(), and
 *   HID_DeviceInfo() with its @ref HidDeviceTable "table records".
 * - Reports: HID_WriteDevice(), HID_ReadDevice(), HID_GetFeature(), HID_SetFeature(),
 *   HID_GetInputReport(), HID_SetOutputReport().
 * - Capabilities: HID_GetCaps(), HID_GetNumInputBuffers().
 * - Strings: HID_GetManufacturerString(), HID_GetProductString(),
 *   HID_GetSerialNumberString(), HID_GetIndexedString().
 *
 * @par Loading the library at run time
 * Each function has a matching pointer type, PFN_ followed by its name:
 * @code
 * HMODULE library = LoadLibraryA("Velmar.dll");
 * PFN_HID_DeviceTest deviceTest =
 *     (PFN_HID_DeviceTest)(void (*)(void))GetProcAddress(library, "HID_DeviceTest");
 * @endcode
 */

/**
 * @defgroup HID_CloseDevice Close a device handle
 * Export ordinal 1 of Velmar.dll.
 * @defgroup HID_DeviceInfo Describe every present HID interface
 * Export ordinal 2 of Velmar.dll.
 * @defgroup HID_DeviceTest Test for a matching HID interface
 * Export ordinal 3 of Velmar.dll.
 * @defgroup HID_GetCaps Read a device's capabilities
 * Export ordinal 4 of Velmar.dll.
 * @defgroup HID_GetFeature Read a feature report
 * Export ordinal 5 of Velmar.dll.
 * @defgroup HID_GetIndexedString Read a device string by its index
 * Export ordinal 6 of Velmar.dll.
 * @defgroup HID_GetInputReport Ask a device for an input report
 * Export ordinal 7 of Velmar.dll.
 * @defgroup HID_GetManufacturerString Read a device's manufacturer string
 * Export ordinal 8 of Velmar.dll.
 * @defgroup HID_GetNumInputBuffers Count the driver's input buffers
 * Export ordinal 9 of Velmar.dll.
 * @defgroup HID_GetProductString Read a device's product string
 * Export ordinal 10 of Velmar.dll.
 * @defgroup HID_GetSerialNumberString Read a device's serial number string
 * Export ordinal 11 of Velmar.dll.
 * @defgroup HID_OpenDevice Open a matching HID interface
 * Export ordinal 12 of Velmar.dll.
 * @defgroup HID_ReadDevice Read an input report
 * Export ordinal 13 of Velmar.dll.
 * @defgroup HID_SetFeature Send a feature report
 * Export ordinal 14 of Velmar.dll.
 * @defgroup HID_SetOutputReport Send an output report by request
 * Export ordinal 15 of Velmar.dll.
 * @defgroup HID_WriteDevice Write an output report
 * Export ordinal 16 of Velmar.dll.
 * @defgroup HidDeviceTable The device table records
 * The caller-owned table that HID_DeviceInfo() fills: HidDeviceTable holds a count and
 * #VELMAR_TABLE_ENTRIES HidDeviceEntry records. Both are packed to 1 byte, without gaps:
 * an entry is 26 bytes and the table 6658 in the x86 library; in the x64 and ARM64 ones,
 * with 8-byte string pointers, 38 and 9730. The header refuses to compile where they come
 * out otherwise.
 */
#ifndef VELMAR_H
#define VELMAR_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/** The calling convention of every function: stdcall, which x64 and ARM64 compilers ignore. */
#define VELMAR_CALL __stdcall

/**
 * Callers import the functions; the library itself is built with VELMAR_BUILDING_LIBRARY.
 * Callers define nothing.
 */
#ifdef VELMAR_BUILDING_LIBRARY
#define VELMAR_API
#else
#define VELMAR_API __declspec(dllimport)
#endif

/**
 * The @p versionNumber of HID_DeviceTest() and HID_OpenDevice() that matches every version
 * of a device: any value whose low 16 bits are 0xFFFF does.
 */
#define VELMAR_ANY_VERSION (-1)

/* The platform's HIDP_CAPS record (hidpi.h); only a pointer to it crosses the interface. */
struct _HIDP_CAPS;

/**
 * @ingroup HID_DeviceTest
 * @brief Tells whether a matching HID interface is present.
 *
 * Visits the present HID interfaces in enumeration order, at most #VELMAR_TABLE_ENTRIES of
 * them, opens each for query only (access 0, which the platform grants even for keyboards
 * and mice) and closes it again at once. An interface matches when its product ID, vendor ID
 * and version number are those asked for; the matching interfaces that open are counted
 * from 0. HID_OpenDevice() counts only those that open for reading and writing, so there the
 * same @p index can name another interface.
 *
 * @param productId     USB product ID: 32-bit, of which the low 16 bits are read. Note the
 *                      order: the product comes before the vendor.
 * @param vendorId      USB vendor ID: 32-bit, of which the low 16 bits are read.
 * @param versionNumber the device's release number: 32-bit, of which the low 16 bits are
 *                      read; #VELMAR_ANY_VERSION matches every version.
 * @param index         which matching interface, from 0: 32-bit, of which the low 16 bits
 *                      are read as a signed number.
 * @retval TRUE  at least @p index + 1 matching interfaces are present (for a negative
 *               @p index, at least one).
 * @retval FALSE fewer are present, or hid.dll or setupapi.dll lacks a function it needs.
 * @par Last error
 * As the last of the platform calls made on the way left it; it tells nothing of the result.
 * @par Threading
 * One caller at a time: it shares the library's string storage. It leaves nothing open.
 * @par Example
 * @code
 * if (!HID_DeviceTest(0xF6F1, 0x04D8, VELMAR_ANY_VERSION, 0))
 *     puts("device 04D8:F6F1 is not connected");
 * @endcode
 */
VELMAR_API BOOL VELMAR_CALL HID_DeviceTest(int productId, int vendorId, int versionNumber,
                                           int index);
/**
 * @ingroup HID_OpenDevice
 * @brief Opens a matching HID interface for reading and writing.
 *
 * Visits the interfaces as HID_DeviceTest() does, but opens each for reading and writing,
 * shared with other readers and writers. Interfaces that refuse that, such as the keyboards
 * and mice that the platform keeps to itself, are skipped and not counted. The handle is
 * synchronous (no overlapped I/O) and inherited by child processes.
 *
 * @param productId     USB product ID: 32-bit, of which the low 16 bits are read. Note the
 *                      order: the product comes before the vendor.
 * @param vendorId      USB vendor ID: 32-bit, of which the low 16 bits are read.
 * @param versionNumber the device's release number: 32-bit, of which the low 16 bits are
 *                      read; #VELMAR_ANY_VERSION matches every version.
 * @param index         which matching interface, from 0: 32-bit, of which the low 16 bits
 *                      are read as a signed number; a negative one matches none.
 * @return The device handle (pointer-sized). It is the caller's, to be released with
 *         HID_CloseDevice(); the functions that take it may use it from any thread.
 * @retval NULL no such interface, or hid.dll or setupapi.dll lacks a function it needs;
 *              never INVALID_HANDLE_VALUE.
 * @par Last error
 * As the last of the platform calls made on the way left it; it tells nothing of the result.
 * @par Threading
 * One caller at a time: it shares the library's string storage.
 * @par Example
 * @code
 * HANDLE device = HID_OpenDevice(0xF6F1, 0x04D8, VELMAR_ANY_VERSION, 0);
 * if (device) {
 *     puts(HID_GetProductString(device));
 *     HID_CloseDevice(device);
 * }
 * @endcode
 */
VELMAR_API HANDLE VELMAR_CALL HID_OpenDevice(int productId, int vendorId, int versionNumber,
                                             int index);
/**
 * @ingroup HID_CloseDevice
 * @brief Closes a handle from HID_OpenDevice() with CloseHandle().
 *
 * @param device the handle (pointer-sized); it must not be used again afterwards.
 * @return The result of CloseHandle(): nonzero when the handle was closed.
 * @retval FALSE @p device is NULL, or the platform refused to close it.
 * @par Last error
 * Untouched for a NULL @p device; otherwise as CloseHandle() left it.
 * @par Threading
 * Any thread, at any time.
 * @par Example
 * @code
 * HID_CloseDevice(device);
 * device = NULL;
 * @endcode
 */
VELMAR_API BOOL VELMAR_CALL HID_CloseDevice(HANDLE device);

/**
 * @ingroup HID_WriteDevice
 * @brief Writes an output report with WriteFile().
 *
 * Returns when the platform has taken the report. The library neither splits nor checks
 * @p length: the platform decides what it accepts, for most devices the output report
 * length that HID_GetCaps() gives.
 *
 * @param device a handle from HID_OpenDevice() (pointer-sized).
 * @param report the report (pointer-sized): the report ID byte (0 for a device without
 *               report IDs), then its data. The library only reads it.
 * @param length the bytes in @p report, the report ID byte included: 32-bit, signed.
 * @return The byte count that the platform reports as written (32-bit).
 * @retval 0 nothing was written; also for a NULL @p device or @p report, or a @p length
 *           of 0 or less, which reach no platform call.
 * @par Last error
 * Untouched when the arguments are refused; otherwise as WriteFile() left it.
 * @par Threading
 * Any thread, at any time.
 * @par Example
 * @code
 * unsigned char report[7] = {0x00, 0x42, 0, 0, 0, 0, 0};
 * DWORD error = 0;
 * if (HID_WriteDevice(device, report, sizeof report) != sizeof report)
 *     error = GetLastError();
 * @endcode
 */
VELMAR_API DWORD VELMAR_CALL HID_WriteDevice(HANDLE device, const void* report, int length);
/**
 * @ingroup HID_ReadDevice
 * @brief Reads an input report with ReadFile().
 *
 * Waits, without a time-out, until the device's driver holds an input report: a device that
 * sends nothing keeps the caller waiting until the device goes away.
 *
 * @param device a handle from HID_OpenDevice() (pointer-sized).
 * @param report receives the report (pointer-sized): the report ID byte (0 for a device
 *               without report IDs), then its data.
 * @param length the size of @p report in bytes: 32-bit, signed. The platform decides what it
 *               accepts, for most devices at least the input report length of HID_GetCaps().
 * @return The byte count that the platform reports as read (32-bit).
 * @retval 0 nothing was read; also for a NULL @p device or @p report, or a @p length of 0
 *           or less, which reach no platform call.
 * @par Last error
 * Untouched when the arguments are refused; otherwise as ReadFile() left it.
 * @par Threading
 * Any thread, at any time.
 * @par Example
 * @code
 * unsigned char report[65];
 * DWORD got = HID_ReadDevice(device, report, sizeof report);
 * @endcode
 */
VELMAR_API DWORD VELMAR_CALL HID_ReadDevice(HANDLE device, void* report, int length);
/**
 * @ingroup HID_GetFeature
 * @brief Reads a feature report with HidD_GetFeature().
 *
 * @param device a handle from HID_OpenDevice() (pointer-sized).
 * @param report the report (pointer-sized): the caller sets its first byte to the report ID
 *               (0 for a device without report IDs); the platform fills in the data.
 * @param length the size of @p report in bytes, the report ID byte included: 32-bit, signed.
 * @retval TRUE  the platform filled @p report.
 * @retval FALSE the platform refused, hid.dll lacks HidD_GetFeature(), @p device or @p report
 *               is NULL, or @p length is 0 or less.
 * @par Last error
 * Untouched when the library refuses the call; otherwise as the platform left it.
 * @par Threading
 * Any thread, at any time.
 * @par Example
 * @code
 * unsigned char report[9] = {0x03};
 * unsigned char level = 0;
 * if (HID_GetFeature(device, report, sizeof report))
 *     level = report[1];
 * @endcode
 */
VELMAR_API BOOL VELMAR_CALL HID_GetFeature(HANDLE device, void* report, int length);
/**
 * @ingroup HID_SetFeature
 * @brief Sends a feature report with HidD_SetFeature().
 *
 * @param device a handle from HID_OpenDevice() (pointer-sized).
 * @param report the report (pointer-sized): the report ID byte (0 for a device without
 *               report IDs), then its data. The library only reads it.
 * @param length the bytes in @p report, the report ID byte included: 32-bit, signed.
 * @retval TRUE  the platform sent the report.
 * @retval FALSE the platform refused, hid.dll lacks HidD_SetFeature(), @p device or @p report
 *               is NULL, or @p length is 0 or less.
 * @par Last error
 * Untouched when the library refuses the call; otherwise as the platform left it.
 * @par Threading
 * Any thread, at any time.
 * @par Example
 * @code
 * unsigned char report[3] = {0x00, 0x11, 0x22};
 * HID_SetFeature(device, report, sizeof report);
 * @endcode
 */
VELMAR_API BOOL VELMAR_CALL HID_SetFeature(HANDLE device, const void* report, int length);
/**
 * @ingroup HID_GetInputReport
 * @brief Asks the device for an input report with HidD_GetInputReport().
 *
 * Unlike HID_ReadDevice(), it asks the device at once instead of waiting for a report in the
 * driver's input buffers. Windows 2000 and older lack the request: there it always fails.
 *
 * @param device a handle from HID_OpenDevice() (pointer-sized).
 * @param report the report (pointer-sized): the caller sets its first byte to the report ID
 *               (0 for a device without report IDs); the platform fills in the data.
 * @param length the size of @p report in bytes, the report ID byte included: 32-bit, signed.
 * @retval TRUE  the platform filled @p report.
 * @retval FALSE the platform refused, the system is Windows 2000 or older, hid.dll lacks
 *               HidD_GetInputReport(), @p device or @p report is NULL, or @p length is 0 or
 *               less.
 * @par Last error
 * Untouched when the library refuses the call; otherwise as the platform left it.
 * @par Threading
 * Any thread, at any time.
 * @par Example
 * @code
 * unsigned char report[8] = {0x00};
 * unsigned char buttons = 0;
 * if (HID_GetInputReport(device, report, sizeof report))
 *     buttons = report[1];
 * @endcode
 */
VELMAR_API BOOL VELMAR_CALL HID_GetInputReport(HANDLE device, void* report, int length);
/**
 * @ingroup HID_SetOutputReport
 * @brief Sends an output report with HidD_SetOutputReport().
 *
 * Windows 2000 and older lack the request: there it always fails.
 *
 * @param device a handle from HID_OpenDevice() (pointer-sized).
 * @param report the report (pointer-sized): the report ID byte (0 for a device without
 *               report IDs), then its data. The library only reads it.
 * @param length the bytes in @p report, the report ID byte included: 32-bit, signed.
 * @retval TRUE  the platform sent the report.
 * @retval FALSE the platform refused, the system is Windows 2000 or older, hid.dll lacks
 *               HidD_SetOutputReport(), @p device or @p report is NULL, or @p length is 0 or
 *               less.
 * @par Last error
 * Untouched when the library refuses the call; otherwise as the platform left it.
 * @par Threading
 * Any thread, at any time.
 * @par Example
 * @code
 * unsigned char report[7] = {0x00, 0x42, 0, 0, 0, 0, 0};
 * HID_SetOutputReport(device, report, sizeof report);
 * @endcode
 */
VELMAR_API BOOL VELMAR_CALL HID_SetOutputReport(HANDLE device, const void* report, int length);

/**
 * @ingroup HID_GetCaps
 * @brief Reads the device's capabilities with HidP_GetCaps().
 *
 * The record is the platform's HIDP_CAPS, 64 bytes on both architectures: include the
 * platform's hidsdi.h for its fields. Its InputReportByteLength, OutputReportByteLength and
 * FeatureReportByteLength are the device's report lengths, the report ID byte included.
 *
 * @param device a handle from HID_OpenDevice() (pointer-sized).
 * @param caps   receives the capabilities (pointer-sized).
 * @retval TRUE  the device's preparsed data was obtained and HidP_GetCaps() asked. This is
 *               TRUE even when HidP_GetCaps() refused, which may leave @p caps partly written.
 * @retval FALSE @p device or @p caps is NULL, hid.dll lacks HidD_GetPreparsedData(),
 *               HidP_GetCaps() or HidD_FreePreparsedData(), or the platform has no preparsed
 *               data for the device; @p caps is untouched.
 * @par Last error
 * Untouched when the library refuses the call; otherwise as the platform left it.
 * @par Threading
 * Any thread, at any time.
 * @par Example
 * @code
 * HIDP_CAPS caps;
 * USHORT inputLength = 0;
 * if (HID_GetCaps(device, &caps))
 *     inputLength = caps.InputReportByteLength;
 * @endcode
 */
VELMAR_API BOOL VELMAR_CALL HID_GetCaps(HANDLE device, struct _HIDP_CAPS* caps);
/**
 * @ingroup HID_GetNumInputBuffers
 * @brief Tells how many input reports the driver buffers for the device, with
 *        HidD_GetNumInputBuffers().
 *
 * @param device a handle from HID_OpenDevice() (pointer-sized).
 * @return The number of input buffers (32-bit).
 * @retval 0 the platform refused, hid.dll lacks HidD_GetNumInputBuffers(), or @p device is
 *           NULL.
 * @par Last error
 * Untouched when the library refuses the call; otherwise as the platform left it.
 * @par Threading
 * Any thread, at any time.
 * @par Example
 * @code
 * ULONG buffers = HID_GetNumInputBuffers(device);
 * @endcode
 */
VELMAR_API ULONG VELMAR_CALL HID_GetNumInputBuffers(HANDLE device);

/**
 * @ingroup HID_GetManufacturerString
 * @brief Reads the device's manufacturer string with HidD_GetManufacturerString().
 *
 * The platform gives the string in UTF-16, up to 126 units; the library converts it to the
 * system's ANSI code page with WideCharToMultiByte(CP_ACP) and no flags, so characters that
 * the code page lacks come out as the platform converts them.
 *
 * @param device a handle from HID_OpenDevice() (pointer-sized).
 * @return The string (pointer-sized), never NULL: the empty string when the device has none,
 *         the platform refused, hid.dll lacks the function, memory ran out or @p device is
 *         NULL. It belongs to the library and stays valid until the caller's next call into
 *         the library: copy it at once, never free it.
 * @par Last error
 * Never set by the library: after a refused request it holds the platform's reason.
 * @par Threading
 * One caller at a time: it shares the library's string storage.
 * @par Example
 * Two results never live side by side, so the first is copied before the second call:
 * @code
 * char manufacturer[256];
 * lstrcpynA(manufacturer, HID_GetManufacturerString(device), sizeof manufacturer);
 * printf("%s / %s", manufacturer, HID_GetProductString(device));
 * @endcode
 */
VELMAR_API const char* VELMAR_CALL HID_GetManufacturerString(HANDLE device);
/**
 * @ingroup HID_GetProductString
 * @brief Reads the device's product string with HidD_GetProductString().
 *
 * The platform gives the string in UTF-16, up to 126 units; the library converts it to the
 * system's ANSI code page with WideCharToMultiByte(CP_ACP) and no flags, so characters that
 * the code page lacks come out as the platform converts them.
 *
 * @param device a handle from HID_OpenDevice() (pointer-sized).
 * @return The string (pointer-sized), never NULL: the empty string when the device has none,
 *         the platform refused, hid.dll lacks the function, memory ran out or @p device is
 *         NULL. It belongs to the library and stays valid until the caller's next call into
 *         the library: copy it at once, never free it.
 * @par Last error
 * Never set by the library: after a refused request it holds the platform's reason.
 * @par Threading
 * One caller at a time: it shares the library's string storage.
 * @par Example
 * @code
 * puts(HID_GetProductString(device));
 * @endcode
 */
VELMAR_API const char* VELMAR_CALL HID_GetProductString(HANDLE device);
/**
 * @ingroup HID_GetSerialNumberString
 * @brief Reads the device's serial number string with HidD_GetSerialNumberString().
 *
 * The platform gives the string in UTF-16, up to 126 units; the library converts it to the
 * system's ANSI code page with WideCharToMultiByte(CP_ACP) and no flags, so characters that
 * the code page lacks come out as the platform converts them.
 *
 * @param device a handle from HID_OpenDevice() (pointer-sized).
 * @return The string (pointer-sized), never NULL: the empty string when the device has none,
 *         the platform refused, hid.dll lacks the function, memory ran out or @p device is
 *         NULL. It belongs to the library and stays valid until the caller's next call into
 *         the library: copy it at once, never free it.
 * @par Last error
 * Never set by the library: after a refused request it holds the platform's reason.
 * @par Threading
 * One caller at a time: it shares the library's string storage.
 * @par Example
 * @code
 * char serial[256];
 * lstrcpynA(serial, HID_GetSerialNumberString(device), sizeof serial);
 * @endcode
 */
VELMAR_API const char* VELMAR_CALL HID_GetSerialNumberString(HANDLE device);
/**
 * @ingroup HID_GetIndexedString
 * @brief Reads the device's string with a given USB string index, with
 *        HidD_GetIndexedString().
 *
 * The platform gives the string in UTF-16, up to 126 units; the library converts it to the
 * system's ANSI code page with WideCharToMultiByte(CP_ACP) and no flags, so characters that
 * the code page lacks come out as the platform converts them.
 *
 * @param device a handle from HID_OpenDevice() (pointer-sized).
 * @param stringIndex the USB string descriptor index: 32-bit, passed on whole.
 * @return The string (pointer-sized), never NULL: the empty string when the device has none,
 *         the platform refused, hid.dll lacks the function, memory ran out or @p device is
 *         NULL. It belongs to the library and stays valid until the caller's next call into
 *         the library: copy it at once, never free it.
 * @par Last error
 * Never set by the library: after a refused request it holds the platform's reason.
 * @par Threading
 * One caller at a time: it shares the library's string storage.
 * @par Example
 * @code
 * puts(HID_GetIndexedString(device, 4));
 * @endcode
 */
VELMAR_API const char* VELMAR_CALL HID_GetIndexedString(HANDLE device, ULONG stringIndex);

/**
 * @ingroup HidDeviceTable
 * @brief One HID interface, as HID_DeviceInfo() found it.
 *
 * Seven 16-bit fields at offsets 0 to 12, then the three string pointers: Manufacturer,
 * Product and SerialNumber at offsets 14, 18 and 22 in the x86 library, 14, 22 and 30 in the
 * x64 and ARM64 ones. The strings are the library's: it allocates them, and resizes them (they may
 * move) when the same table is filled again; until then they stay valid, even after the
 * library is unloaded. The caller never frees them, and puts nothing but 0 or the library's
 * own earlier pointers there: a fresh table is zero-filled. A filled string is never NULL:
 * a device without that string gets the empty string.
 */
#pragma pack(push, 1)
typedef struct HidDeviceEntry {
    /** USB vendor ID; 0 when the interface's attributes could not be read. */
    USHORT VendorID;
    /** USB product ID; 0 when the attributes could not be read. */
    USHORT ProductID;
    /** The device's release number; 0 when the attributes could not be read. */
    USHORT VersionNumber;
    /** As HID_GetNumInputBuffers() gives it, the low 16 bits. */
    USHORT NumInputBuffers;
    /** The input report length of HID_GetCaps(); 0 when the capabilities were not read. */
    USHORT InputReportByteLength;
    /** The output report length of HID_GetCaps(); 0 when the capabilities were not read. */
    USHORT OutputReportByteLength;
    /** The feature report length of HID_GetCaps(); 0 when the capabilities were not read. */
    USHORT FeatureReportByteLength;
    /** As HID_GetManufacturerString() gives it. */
    char* Manufacturer;
    /** As HID_GetProductString() gives it. */
    char* Product;
    /** As HID_GetSerialNumberString() gives it. */
    char* SerialNumber;
} HidDeviceEntry;

/**
 * @ingroup HidDeviceTable
 * The entries of a HidDeviceTable, and the most interfaces that any call visits: those
 * from enumeration index 256 on are never seen.
 */
#define VELMAR_TABLE_ENTRIES 256

/**
 * @ingroup HidDeviceTable
 * @brief Every present HID interface, as HID_DeviceInfo() found it.
 *
 * Entry i describes the interface with member index i in the platform's enumeration. An
 * entry whose interface could not be opened keeps what it held before the call, so the
 * table can have holes; in a zero-filled table such an entry's strings are NULL.
 */
typedef struct HidDeviceTable {
    /** One more than the member index of the last interface that opened; 0 when none did. */
    USHORT Count;
    /** The interfaces, by member index; those from Count on are left as they were. */
    HidDeviceEntry Entries[VELMAR_TABLE_ENTRIES];
} HidDeviceTable;
#pragma pack(pop)

/*
 * Compile-time size checks that work in C89 as well: a wrong size is a negative array. The
 * three string pointers are 4 bytes in the x86 library and 8 in the x64 and ARM64 ones.
 */
#define VELMAR_IF_64_BIT(x64, x86) (sizeof(void*) == 8 ? (x64) : (x86))
typedef char
    VelmarHidDeviceEntryIs26Or38Bytes[sizeof(HidDeviceEntry) == VELMAR_IF_64_BIT(38, 26) ? 1 : -1];
typedef char VelmarHidDeviceTableIs6658Or9730Bytes
    [sizeof(HidDeviceTable) == VELMAR_IF_64_BIT(9730, 6658) ? 1 : -1];

/**
 * @ingroup HID_DeviceInfo
 * @brief Describes every present HID interface in one table.
 *
 * Visits the present HID interfaces in enumeration order, at most #VELMAR_TABLE_ENTRIES of
 * them, opens each for query only (as HID_DeviceTest() does), fills its entry and closes it
 * again. Entry i describes the interface with member index i in the platform's enumeration;
 * an interface that does not open leaves its entry as it was. Count is set first, to 0, and
 * then to one more than the member index of each interface that opens.
 *
 * @param table the table to fill (pointer-sized), the caller's: zero-filled the first time,
 *              the same table again to refresh it; see HidDeviceTable.
 * @retval TRUE  at least one HID interface is present, whether or not any could be opened.
 * @retval FALSE no HID interface is present, hid.dll or setupapi.dll lacks a function it
 *               needs, or @p table is NULL (then nothing is written).
 * @par Last error
 * As the last of the platform calls made on the way left it; it tells nothing of the result.
 * @par Threading
 * One caller at a time: it shares the library's string storage. It leaves nothing open.
 * @par Example
 * @code
 * static HidDeviceTable table;
 * int i;
 * if (HID_DeviceInfo(&table))
 *     for (i = 0; i < table.Count; ++i)
 *         if (table.Entries[i].Product)
 *             puts(table.Entries[i].Product);
 * @endcode
 * A static table starts zero-filled, and an entry whose Product is still NULL was present but
 * could not be opened.
 */
VELMAR_API BOOL VELMAR_CALL HID_DeviceInfo(HidDeviceTable* table);

/** @brief HID_DeviceTest() as GetProcAddress() finds it. @ingroup HID_DeviceTest */
typedef BOOL(VELMAR_CALL* PFN_HID_DeviceTest)(int productId, int vendorId, int versionNumber,
                                              int index);
/** @brief HID_OpenDevice() as GetProcAddress() finds it. @ingroup HID_OpenDevice */
typedef HANDLE(VELMAR_CALL* PFN_HID_OpenDevice)(int productId, int vendorId, int versionNumber,
                                                int index);
/** @brief HID_CloseDevice() as GetProcAddress() finds it. @ingroup HID_CloseDevice */
typedef BOOL(VELMAR_CALL* PFN_HID_CloseDevice)(HANDLE device);
/** @brief HID_WriteDevice() as GetProcAddress() finds it. @ingroup HID_WriteDevice */
typedef DWORD(VELMAR_CALL* PFN_HID_WriteDevice)(HANDLE device, const void* report, int length);
/** @brief HID_ReadDevice() as GetProcAddress() finds it. @ingroup HID_ReadDevice */
typedef DWORD(VELMAR_CALL* PFN_HID_ReadDevice)(HANDLE device, void* report, int length);
/** @brief HID_GetFeature() as GetProcAddress() finds it. @ingroup HID_GetFeature */
typedef BOOL(VELMAR_CALL* PFN_HID_GetFeature)(HANDLE device, void* report, int length);
/** @brief HID_SetFeature() as GetProcAddress() finds it. @ingroup HID_SetFeature */
typedef BOOL(VELMAR_CALL* PFN_HID_SetFeature)(HANDLE device, const void* report, int length);
/** @brief HID_GetInputReport() as GetProcAddress() finds it. @ingroup HID_GetInputReport */
typedef BOOL(VELMAR_CALL* PFN_HID_GetInputReport)(HANDLE device, void* report, int length);
/** @brief HID_SetOutputReport() as GetProcAddress() finds it. @ingroup HID_SetOutputReport */
typedef BOOL(VELMAR_CALL* PFN_HID_SetOutputReport)(HANDLE device, const void* report, int length);
/** @brief HID_GetCaps() as GetProcAddress() finds it. @ingroup HID_GetCaps */
typedef BOOL(VELMAR_CALL* PFN_HID_GetCaps)(HANDLE device, struct _HIDP_CAPS* caps);
/** @brief HID_GetNumInputBuffers() as GetProcAddress() finds it. @ingroup HID_GetNumInputBuffers */
typedef ULONG(VELMAR_CALL* PFN_HID_GetNumInputBuffers)(HANDLE device);
/** @brief HID_GetManufacturerString() as GetProcAddress() finds it.
 *  @ingroup HID_GetManufacturerString */
typedef const char*(VELMAR_CALL* PFN_HID_GetManufacturerString)(HANDLE device);
/** @brief HID_GetProductString() as GetProcAddress() finds it. @ingroup HID_GetProductString */
typedef const char*(VELMAR_CALL* PFN_HID_GetProductString)(HANDLE device);
/** @brief HID_GetSerialNumberString() as GetProcAddress() finds it.
 *  @ingroup HID_GetSerialNumberString */
typedef const char*(VELMAR_CALL* PFN_HID_GetSerialNumberString)(HANDLE device);
/** @brief HID_GetIndexedString() as GetProcAddress() finds it. @ingroup HID_GetIndexedString */
typedef const char*(VELMAR_CALL* PFN_HID_GetIndexedString)(HANDLE device, ULONG stringIndex);
/** @brief HID_DeviceInfo() as GetProcAddress() finds it. @ingroup HID_DeviceInfo */
typedef BOOL(VELMAR_CALL* PFN_HID_DeviceInfo)(HidDeviceTable* table);

#ifdef __cplusplus
}
#endif

#endif /* VELMAR_H */
