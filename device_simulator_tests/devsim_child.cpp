// A program under test in miniature: opens the world's only device by its file and asks
// for its attributes through hid.dll. Exits 0 when the device answered as 04D8:F6F1.
#include <windows.h>

#include <cstring>

struct HidAttributes {
    ULONG Size;
    USHORT VendorID;
    USHORT ProductID;
    USHORT VersionNumber;
};

int main() {
    char world[MAX_PATH] = {};
    GetEnvironmentVariableA("DEVSIM_WORLD", world, sizeof world);
    std::strcpy(std::strrchr(world, '\\') + 1, "pad.hid");
    auto getAttributes =
        reinterpret_cast<BOOLEAN(WINAPI*)(HANDLE, HidAttributes*)>(reinterpret_cast<void (*)()>(
            GetProcAddress(LoadLibraryA("hid.dll"), "HidD_GetAttributes")));
    HANDLE device = CreateFileA(world, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    HidAttributes attributes = {sizeof attributes, 0, 0, 0};
    const bool answered = getAttributes && getAttributes(device, &attributes);
    return answered && attributes.VendorID == 0x04D8 && attributes.ProductID == 0xF6F1 ? 0 : 1;
}
