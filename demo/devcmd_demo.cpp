// Shows devcmd at work without hardware: once with a simulated 04D8:F6F1 device, which
// should receive the command report, and once with no device of the family, which should
// bring up the message box.
#include "support/devcmd_run.h"

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &bytes[0], size, nullptr, nullptr);
    bytes.resize(bytes.size() - 1);
    return bytes;
}

void PrintRun(const DevcmdRun& run) {
    std::printf("  devcmd %s with exit code %lu\n", run.exited ? "ended" : "did NOT end",
                run.exitCode);
    for (const MessageBoxSeen& box : run.messageBoxes) {
        std::printf("  a message box appeared: caption \"%s\", text \"%s\"%s\n",
                    Utf8(box.caption).c_str(), Utf8(box.text).c_str(),
                    box.errorIcon ? ", error icon" : "");
    }
    if (run.messageBoxes.empty()) {
        std::printf("  no message box appeared\n");
    }
}

} // namespace

int main() {
    std::printf("devcmd with a simulated device 04D8:F6F1 (beside a keyboard and a stranger):\n");
    const DevcmdRun sent = RunDevcmd("interface keyboard vid=045E pid=0750 open=query\n"
                                     "interface stranger vid=845E pid=0001\n"
                                     "interface f6f1 vid=04D8 pid=F6F1 version=0100\n");
    PrintRun(sent);
    const std::string report = sent.DeviceFile("f6f1");
    std::printf("  the device received %u bytes:", static_cast<unsigned>(report.size()));
    for (unsigned char byte : report) {
        std::printf(" %02X", byte);
    }
    std::printf("\n  (report ID 00, command 42 = 'B', five zero bytes)\n\n");

    std::printf("devcmd with no device of the family attached:\n");
    PrintRun(RunDevcmd("interface keyboard vid=045E pid=0750 open=query\n"));
    return report == std::string("\x00\x42\x00\x00\x00\x00\x00", 7) ? 0 : 1;
}
