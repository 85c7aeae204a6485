// devcmd: finds the first present device of the family and sends it the command report.
// With product F6F0 attached it leaves everything alone; otherwise the first of F6F1 and
// 00DF that is present receives command 0x42. A missing library or device is reported in
// a message box; the program always exits with code 0.
#include "velmar_entries.h"
#include "messages.h"

#include <windows.h>

namespace {

constexpr int kVendor = 0x04D8;
constexpr int kProductLeftAlone = 0xF6F0;
constexpr int kProductsCommanded[] = {0xF6F1, 0x00DF};
constexpr int kAnyVersion = -1;
constexpr int kFirstInterface = 0;
constexpr BYTE kCommand = 0x42;

// Report ID 0 (the device has no report IDs), the command, five zero bytes.
constexpr BYTE kReportId = 0;
constexpr int kCommandReportLength = 7;
BYTE reportBuffer[8];

void SendCommand(const VelmarEntries& velmar, HANDLE device, BYTE command) {
    if (!device) {
        ShowDeviceMissing();
        return;
    }
    for (int i = 0; i < kCommandReportLength; ++i) {
        reportBuffer[i] = 0;
    }
    reportBuffer[0] = kReportId;
    reportBuffer[1] = command;
    // A failed or short write is not reported: there is nobody to tell but the user, and
    // the device gives no answer to check against.
    velmar.HID_WriteDevice(device, reportBuffer, kCommandReportLength);
}

bool Present(const VelmarEntries& velmar, int product) {
    return velmar.HID_DeviceTest(product, kVendor, kAnyVersion, kFirstInterface) != FALSE;
}

void CommandFirstPresentDevice(const VelmarEntries& velmar) {
    if (Present(velmar, kProductLeftAlone)) {
        return;
    }
    for (int product : kProductsCommanded) {
        if (Present(velmar, product)) {
            // The handle stays open: the system closes it when the program ends.
            SendCommand(velmar,
                        velmar.HID_OpenDevice(product, kVendor, kAnyVersion, kFirstInterface),
                        kCommand);
            return;
        }
    }
    ShowDeviceMissing();
}

} // namespace

extern "C" void ProgramStart() {
    HMODULE library = LoadLibraryA("Velmar.dll");
    VelmarEntries velmar = {};
    if (library && LookUpVelmarEntries(library, velmar)) {
        CommandFirstPresentDevice(velmar);
    } else {
        ShowLibraryMissing();
    }
    if (library) {
        FreeLibrary(library);
    }
    ExitProcess(0);
}
