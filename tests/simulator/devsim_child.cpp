// A program under test in miniature: opens the device file pad.hid beside the world file
// and asks hid.dll for its attributes. Exits 0 when the device answered as 04D8:F6F1.
#include "platform_records.h"
#include "proc_address.h"

#include <string>

int main() {
    char world[MAX_PATH] = {};
    GetEnvironmentVariableA("DEVSIM_WORLD", world, sizeof world);
    std::string device = world;
    device = device.substr(0, device.find_last_of('\\')) + "\\pad.hid";
    auto getAttributes =
        ProcAddress<decltype(&::HidD_GetAttributes)>(LoadLibraryA("hid.dll"), "HidD_GetAttributes");
    HANDLE file = CreateFileA(device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    HIDD_ATTRIBUTES attributes = {sizeof attributes, 0, 0, 0};
    const bool answered = getAttributes && getAttributes(file, &attributes);
    return answered && attributes.VendorID == 0x04D8 && attributes.ProductID == 0xF6F1 ? 0 : 1;
}
