#include "find_example_device.h"

#include "devsim.h"
#include "velmar.h"

int FindExampleDevice(void) {
    HANDLE device;
    int result;
    if (!DevSim_LoadWorldFile("example-world.txt")) {
        return 2;
    }
    if (!HID_DeviceTest(0xF6F1, 0x04D8, VELMAR_ANY_VERSION, 0)) {
        return 3;
    }
    device = HID_OpenDevice(0xF6F1, 0x04D8, VELMAR_ANY_VERSION, 0);
    if (!device) {
        return 4;
    }
    result = lstrcmpA(HID_GetProductString(device), "MX31K") == 0 ? 0 : 5;
    HID_CloseDevice(device);
    return result;
}
