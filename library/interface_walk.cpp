#include "interface_walk.h"

#include "platform_binding.h"

namespace {

constexpr DWORD kMaxMemberIndices = 256;
constexpr DWORD kPresentDeviceInterfaces = DIGCF_PRESENT | DIGCF_DEVICEINTERFACE;
constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
// The attributes size that the library has always announced; hid.dll fills the whole
// record without reading it.
constexpr ULONG kAttributesQuerySize = 10;
// A detail size beyond this is no device path the platform could mean.
constexpr DWORD kMaxDetailSize = 0x7FFFFFFE;

bool CanWalk(const HidEntryTable& entries) {
    return entries.HidD_GetHidGuid && entries.SetupDiEnumDeviceInterfaces &&
           entries.SetupDiGetDeviceInterfaceDetailA;
}

} // namespace

bool DeviceMatch(const DeviceIdentity& identity, const HIDD_ATTRIBUTES& attributes) {
    return attributes.ProductID == identity.ProductID && attributes.VendorID == identity.VendorID &&
           (identity.VersionNumber == kAnyVersionNumber ||
            attributes.VersionNumber == identity.VersionNumber);
}

InterfaceWalk::InterfaceWalk(OpenMode mode) : mode_(mode) {
    const HidEntryTable& entries = HidEntries();
    interfaceData_.cbSize = sizeof interfaceData_;
    if (!CanWalk(entries)) {
        return;
    }
    entries.HidD_GetHidGuid(&hidClass_);
    set_.reset(SetupDiGetClassDevsA(&hidClass_, nullptr, nullptr, kPresentDeviceInterfaces));
}

bool InterfaceWalk::Next() {
    device_.reset();
    if (!set_.valid() || exhausted_ || nextMemberIndex_ == kMaxMemberIndices) {
        return false;
    }
    memberIndex_ = nextMemberIndex_++;
    if (!HidEntries().SetupDiEnumDeviceInterfaces(set_.get(), nullptr, &hidClass_, memberIndex_,
                                                  &interfaceData_)) {
        exhausted_ = true;
        return false;
    }
    OpenCurrentInterface();
    return true;
}

bool InterfaceWalk::Matches(const DeviceIdentity& identity) const {
    return attributesKnown_ && DeviceMatch(identity, attributes_);
}

// An interface whose path cannot be learned or copied is skipped like one that does not
// open.
void InterfaceWalk::OpenCurrentInterface() {
    attributesKnown_ = false;
    if (!CopyDevicePath()) {
        return;
    }
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    device_.reset(CreateFileA(devicePath_.get(), mode_.access, kShareReadWrite,
                              mode_.inheritable ? &inheritable : nullptr, OPEN_EXISTING, 0,
                              nullptr));
    if (!device_.valid()) {
        return;
    }
    // Reset before every query and trusted only when the query succeeds: an interface
    // whose attributes cannot be read must never match on values of another one.
    attributes_ = {};
    attributes_.Size = kAttributesQuerySize;
    const HidD_GetAttributes_t getAttributes = HidEntries().HidD_GetAttributes;
    attributesKnown_ = getAttributes && getAttributes(device_.get(), &attributes_);
}

bool InterfaceWalk::CopyDevicePath() {
    const HidEntryTable& entries = HidEntries();
    // This call only reports the size; it fails by its nature.
    entries.SetupDiGetDeviceInterfaceDetailA(set_.get(), &interfaceData_, nullptr, 0,
                                             &requiredSize_, nullptr);
    if (requiredSize_ < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) ||
        requiredSize_ > kMaxDetailSize) {
        return false;
    }
    // One byte more than the platform is told of stays zero and ends the path in any case.
    ScratchBlock block(AllocateScratch(static_cast<int>(requiredSize_ + 1)));
    auto* detail = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.get());
    if (!detail) {
        return false;
    }
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    DWORD detailSize = 0;
    entries.SetupDiGetDeviceInterfaceDetailA(set_.get(), &interfaceData_, detail, requiredSize_,
                                             &detailSize, nullptr);
    return StoreString(devicePath_, detail->DevicePath);
}

bool TestDevice(const DeviceIdentity& identity) {
    InterfaceWalk walk(kQueryOpen);
    SHORT matches = 0;
    while (walk.Next()) {
        if (!walk.DeviceOpened()) {
            continue;
        }
        walk.CloseDevice();
        if (!walk.Matches(identity)) {
            continue;
        }
        if (matches >= identity.Index) {
            return true;
        }
        ++matches;
    }
    return false;
}

HANDLE OpenDevice(const DeviceIdentity& identity) {
    InterfaceWalk walk(kReadWriteOpen);
    SHORT matches = 0;
    while (walk.Next()) {
        if (!walk.DeviceOpened() || !walk.Matches(identity)) {
            continue;
        }
        if (matches == identity.Index) {
            return walk.TakeDevice();
        }
        ++matches;
    }
    return nullptr;
}
