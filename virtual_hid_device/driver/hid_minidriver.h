// The HID class driver's interface to its minidrivers: request codes and records as the
// platform documents them (hidport.h, hidclass.h). mingw-w64 ships no hidport.h, and the
// request codes in its ddk/hidclass.h differ from the ones the class driver sends, so this
// driver defines its own and includes neither.
#ifndef VHID_HID_MINIDRIVER_H
#define VHID_HID_MINIDRIVER_H

#include <ntddk.h>

#define VHID_CODE(function, method)                                                                \
    CTL_CODE(FILE_DEVICE_KEYBOARD, (function), (method), FILE_ANY_ACCESS)

// Requests that only a minidriver receives (IRP_MJ_INTERNAL_DEVICE_CONTROL).
#define VHID_GET_DEVICE_DESCRIPTOR VHID_CODE(0, METHOD_NEITHER)
#define VHID_GET_REPORT_DESCRIPTOR VHID_CODE(1, METHOD_NEITHER)
#define VHID_READ_REPORT VHID_CODE(2, METHOD_NEITHER)
#define VHID_WRITE_REPORT VHID_CODE(3, METHOD_NEITHER)
#define VHID_GET_STRING VHID_CODE(4, METHOD_NEITHER)
#define VHID_ACTIVATE_DEVICE VHID_CODE(7, METHOD_NEITHER)
#define VHID_DEACTIVATE_DEVICE VHID_CODE(8, METHOD_NEITHER)
#define VHID_GET_DEVICE_ATTRIBUTES VHID_CODE(9, METHOD_NEITHER)

// Requests whose codes are shared with the class driver's own callers.
#define VHID_GET_FEATURE VHID_CODE(100, METHOD_OUT_DIRECT)
#define VHID_SET_FEATURE VHID_CODE(100, METHOD_IN_DIRECT)
#define VHID_SET_OUTPUT_REPORT VHID_CODE(101, METHOD_IN_DIRECT)
#define VHID_GET_INPUT_REPORT VHID_CODE(104, METHOD_OUT_DIRECT)
#define VHID_GET_INDEXED_STRING VHID_CODE(120, METHOD_OUT_DIRECT)

// String identifiers of VHID_GET_STRING (low word of its argument). Windows' class driver
// asks with these; Wine's (8.0) asks with 1, 2 and 3 instead.
#define VHID_STRING_MANUFACTURER 14
#define VHID_STRING_PRODUCT 15
#define VHID_STRING_SERIAL_NUMBER 16
#define VHID_WINE_STRING_MANUFACTURER 1
#define VHID_WINE_STRING_PRODUCT 2
#define VHID_WINE_STRING_SERIAL_NUMBER 3

#define VHID_REVISION 1
#define VHID_HID_DESCRIPTOR_TYPE 0x21
#define VHID_REPORT_DESCRIPTOR_TYPE 0x22
#define VHID_BCD_HID 0x0111

typedef struct VhidMinidriverRegistration {
    ULONG Revision;
    PDRIVER_OBJECT DriverObject;
    PUNICODE_STRING RegistryPath;
    ULONG DeviceExtensionSize;
    BOOLEAN DevicesArePolled;
    UCHAR Reserved[3];
} VhidMinidriverRegistration;

// What the class driver puts in the extension of each device object it creates for us.
typedef struct VhidDeviceExtension {
    PDEVICE_OBJECT PhysicalDeviceObject;
    PDEVICE_OBJECT NextDeviceObject;
    PVOID MiniDeviceExtension;
} VhidDeviceExtension;

typedef struct VhidDeviceAttributes {
    ULONG Size;
    USHORT VendorID;
    USHORT ProductID;
    USHORT VersionNumber;
    USHORT Reserved[11];
} VhidDeviceAttributes;

#include <pshpack1.h>
typedef struct VhidHidDescriptor {
    UCHAR bLength;
    UCHAR bDescriptorType;
    USHORT bcdHID;
    UCHAR bCountry;
    UCHAR bNumDescriptors;
    UCHAR bReportType;
    USHORT wReportLength;
} VhidHidDescriptor;
#include <poppack.h>

typedef struct VhidTransferPacket {
    PUCHAR reportBuffer;
    ULONG reportBufferLen;
    UCHAR reportId;
} VhidTransferPacket;

NTSTATUS NTAPI HidRegisterMinidriver(VhidMinidriverRegistration* registration);

#endif
