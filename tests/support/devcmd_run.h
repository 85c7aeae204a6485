// One run of the real devcmd.exe in a folder of its own, beside the device simulator, with
// every message box it shows read and dismissed the way a user would.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct MessageBoxSeen {
    std::wstring caption;
    std::wstring text;
    bool errorIcon;
    HWND owner;
};

// What goes into the run's folder beside devcmd.exe.
enum class LibraryBeside {
    Velmar,             // the real Velmar.dll
    None,               // no Velmar.dll at all
    VelmarWithoutWrite, // a Velmar.dll that lacks HID_WriteDevice
    // the real library, but the device is unplugged between devcmd's test and its open:
    // the world then becomes the one given as `worldAfterTest`
    VelmarUnpluggingAfterTheTest,
};

struct DevcmdRun {
    DWORD exitCode = 0;
    bool exited = false;
    std::vector<MessageBoxSeen> messageBoxes;
    std::vector<std::string> journal;
    std::string folder;

    // What the device called `name` in the world received.
    std::string DeviceFile(const std::string& name) const;
};

// Runs devcmd with the given world, waits (bounded) for it to end, and answers each
// message box it shows with OK. A window of the test program itself can be put in the
// foreground first, to see that devcmd does not take a stranger's window as owner.
DevcmdRun RunDevcmd(const std::string& world, LibraryBeside library = LibraryBeside::Velmar,
                    HWND foreground = nullptr, const std::string& worldAfterTest = {});
