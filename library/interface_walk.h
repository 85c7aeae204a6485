// Finding HID interfaces: the walk over every present HID interface that the device
// exports share, the rule that matches an interface against a caller's device identity,
// and the test and open built on them.
#pragma once

#include "library_heaps.h"
#include "platform_handles.h"
#include "platform_types.h"

constexpr USHORT kAnyVersionNumber = 0xFFFF;

// A device as callers name it. Each value is the low 16 bits of a 32-bit argument.
struct DeviceIdentity {
    USHORT ProductID;
    USHORT VendorID;
    USHORT VersionNumber; // kAnyVersionNumber matches every version
    SHORT Index;          // ordinal among the matching interfaces that could be opened
};

bool DeviceMatch(const DeviceIdentity& identity, const HIDD_ATTRIBUTES& attributes);

// How the walk opens each interface: for query only (access 0, which the platform grants
// even for keyboards and mice), or for reading and writing with an inheritable handle.
struct OpenMode {
    DWORD access;
    bool inheritable;
};
constexpr OpenMode kQueryOpen = {0, false};
constexpr OpenMode kReadWriteOpen = {GENERIC_READ | GENERIC_WRITE, true};

// Visits the present HID interfaces in enumeration order, at most 256 of them:
//
//     InterfaceWalk walk(kQueryOpen);
//     while (walk.Next()) { if (walk.DeviceOpened()) ... }
//
// Next() moves to the next interface that the platform reports, opens it and queries its
// attributes. The current interface's handle is closed when the walk moves on or ends,
// unless the caller took it; the end of the walk releases the device information set.
class InterfaceWalk {
public:
    explicit InterfaceWalk(OpenMode mode);

    InterfaceWalk(const InterfaceWalk&) = delete;
    InterfaceWalk& operator=(const InterfaceWalk&) = delete;

    bool Next();

    DWORD MemberIndex() const { return memberIndex_; }
    bool DeviceOpened() const { return device_.valid(); }
    HANDLE Device() const { return device_.get(); }
    // False when the attributes query failed or could not be made.
    bool AttributesKnown() const { return attributesKnown_; }
    const HIDD_ATTRIBUTES& Attributes() const { return attributes_; }
    bool Matches(const DeviceIdentity& identity) const;

    void CloseDevice() { device_.reset(); }
    HANDLE TakeDevice() { return device_.release(); }

private:
    void OpenCurrentInterface();
    bool CopyDevicePath();

    OpenMode mode_;
    GUID hidClass_ = {};
    // Declared before the set so that the set is released first, then the path.
    StringBlock devicePath_;
    UniqueDeviceInfoSet set_;
    SP_DEVICE_INTERFACE_DATA interfaceData_ = {};
    DWORD requiredSize_ = 0;
    DWORD nextMemberIndex_ = 0;
    bool exhausted_ = false;
    DWORD memberIndex_ = 0;
    HIDD_ATTRIBUTES attributes_ = {};
    bool attributesKnown_ = false;
    UniqueFileHandle device_;
};

// True when the walk meets a matching interface, open for query, whose match ordinal is
// at least the identity's Index.
bool TestDevice(const DeviceIdentity& identity);

// A read/write handle to the matching interface whose match ordinal equals the identity's
// Index, or null. Interfaces that refuse reading and writing are not counted.
HANDLE OpenDevice(const DeviceIdentity& identity);
