// A Velmar.dll for devcmd's runs that unplugs the device the moment devcmd has found it:
// HID_DeviceTest is the real library's, and once it finds a device the simulator's world
// is replaced by the one in after-test-world.txt beside this DLL, before devcmd can open
// the device. Every other export is the real library's (VelmarLibrary.dll), forwarded.
#include "devsim.h"
#include "proc_address.h"
#include "velmar.h"

#include <string>

namespace {

std::string FolderOfThisDll() {
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&FolderOfThisDll), &self);
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

} // namespace

extern "C" BOOL VELMAR_CALL HID_DeviceTest(int productId, int vendorId, int versionNumber,
                                           int index) {
    static const auto realTest = ProcAddress<decltype(&::HID_DeviceTest)>(
        LoadLibraryA("VelmarLibrary.dll"), "HID_DeviceTest");
    static bool unplugged = false;
    const BOOL found = realTest && realTest(productId, vendorId, versionNumber, index);
    if (found && !unplugged) {
        unplugged = true;
        DevSim_LoadWorldFile((FolderOfThisDll() + "after-test-world.txt").c_str());
    }
    return found;
}
