#include "plain_walk.h"

#include "proc_address.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

template <typename Entry>
Entry Lookup(HMODULE module, const char* name) {
    const Entry entry = ProcAddress<Entry>(module, name);
    if (!entry) {
        std::fprintf(stderr, "the platform offers no %s\n", name);
        std::exit(2);
    }
    return entry;
}

HMODULE LoadBeside(const char* fileName) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    folder.erase(folder.find_last_of('\\') + 1);
    return LoadLibraryA((folder + fileName).c_str());
}

} // namespace

RawPlatform LoadRawPlatform() {
    const HMODULE hid = LoadBeside("hid.dll");
    const HMODULE setup = LoadBeside("setupapi.dll");
    return {Lookup<GetHidGuid_t>(hid, "HidD_GetHidGuid"),
            Lookup<GetClassDevs_t>(setup, "SetupDiGetClassDevsA"),
            Lookup<EnumInterfaces_t>(setup, "SetupDiEnumDeviceInterfaces"),
            Lookup<InterfaceDetail_t>(setup, "SetupDiGetDeviceInterfaceDetailA"),
            Lookup<GetAttributes_t>(hid, "HidD_GetAttributes"),
            Lookup<DestroyList_t>(setup, "SetupDiDestroyDeviceInfoList")};
}

// The device test written out plainly: the same platform calls with the same arguments in
// the same order, the device path in one buffer that grows as needed.
bool RawDeviceTest(const RawPlatform& platform, USHORT productId, USHORT vendorId) {
    GUID hidClass;
    platform.getHidGuid(&hidClass);
    HDEVINFO set =
        platform.getClassDevs(&hidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == nullptr || set == INVALID_HANDLE_VALUE) {
        return false;
    }
    static std::vector<char> detailBlock;
    SP_DEVICE_INTERFACE_DATA interfaceData = {};
    interfaceData.cbSize = sizeof interfaceData;
    bool found = false;
    for (DWORD member = 0; member < 256 && !found; ++member) {
        if (!platform.enumInterfaces(set, nullptr, &hidClass, member, &interfaceData)) {
            break;
        }
        DWORD required = 0;
        platform.interfaceDetail(set, &interfaceData, nullptr, 0, &required, nullptr);
        if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
            continue;
        }
        detailBlock.assign(required + 1, '\0');
        auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(detailBlock.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        DWORD detailSize = 0;
        platform.interfaceDetail(set, &interfaceData, detail, required, &detailSize, nullptr);
        HANDLE device = CreateFileA(detail->DevicePath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        if (device == INVALID_HANDLE_VALUE) {
            continue;
        }
        HIDD_ATTRIBUTES attributes = {};
        attributes.Size = 10;
        const bool known = platform.getAttributes(device, &attributes);
        CloseHandle(device);
        found = known && attributes.ProductID == productId && attributes.VendorID == vendorId;
    }
    platform.destroyList(set);
    return found;
}
