// Velmar.dll's unwind data as the platform's own unwinder uses it: a walk that starts in a
// platform function which the library called (HidP_GetCaps, in the stack-walking hid.dll
// beside this program) must find unwind data for every frame, the library's included, and
// so reach this program's own frame: the way a fault below a Velmar call finds the
// caller's handler, and a debugger or crash dump the caller.
#include "stack_walk.h"

#include "support/simulated_world.h"
#include "support/velmar_library.h"

#include "proc_address.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

namespace {

HMODULE ModuleOf(DWORD64 address) {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<const char*>(address), &module);
    return module;
}

std::string Describe(const StackWalk& walk) {
    std::string text;
    char name[MAX_PATH];
    char line[MAX_PATH + 64];
    for (int i = 0; i < walk.count; ++i) {
        const StackFrame& frame = walk.frames[i];
        const HMODULE module = ModuleOf(frame.programCounter);
        if (!module || !GetModuleFileNameA(module, name, sizeof name)) {
            lstrcpyA(name, "?");
        }
        std::snprintf(line, sizeof line, "  %s+%#llx%s\n", name,
                      static_cast<unsigned long long>(frame.programCounter -
                                                      reinterpret_cast<DWORD64>(module)),
                      frame.hasUnwindData ? "" : " (no unwind data)");
        text += line;
    }
    return text;
}

TEST(UnwindData, EveryFrameFromAPlatformCallBackToTheCallerHasIt) {
    SimulatedWorld world("interface pad vid=04D8 pid=F6F1 input=8 output=7 feature=5\n");
    const VelmarLibrary& velmar = Velmar();
    HANDLE device = velmar.HID_OpenDevice(0xF6F1, 0x04D8, VELMAR_ANY_VERSION, 0);
    ASSERT_NE(device, nullptr);
    const auto lastWalk = ProcAddress<StackWalkOfLastCapsFunction>(GetModuleHandleA("hid.dll"),
                                                                   "StackWalkOfLastCaps");
    ASSERT_NE(lastWalk, nullptr) << "hid.dll is not the stack-walking one";
    const HMODULE library = velmar.module;
    const HMODULE program = GetModuleHandleA(nullptr);
    static HidDeviceTable table;
    unsigned char caps[64];
    const struct {
        const char* call;
        std::function<BOOL()> make;
    } calls[] = {
        {"HID_GetCaps",
         [&] { return velmar.HID_GetCaps(device, reinterpret_cast<_HIDP_CAPS*>(caps)); }},
        {"HID_DeviceInfo", [&] { return velmar.HID_DeviceInfo(&table); }},
    };
    for (const auto& call : calls) {
        SCOPED_TRACE(call.call);
        ASSERT_TRUE(call.make());
        const StackWalk& walk = *lastWalk();
        int libraryFrames = 0;
        int i = 0;
        for (; i < walk.count && ModuleOf(walk.frames[i].programCounter) != program; ++i) {
            EXPECT_TRUE(walk.frames[i].hasUnwindData) << "frame " << i << " of\n" << Describe(walk);
            libraryFrames += ModuleOf(walk.frames[i].programCounter) == library;
        }
        EXPECT_LT(i, walk.count) << "the walk never reached this program:\n" << Describe(walk);
        EXPECT_GE(libraryFrames, 1) << Describe(walk);
    }
    velmar.HID_CloseDevice(device);
}

} // namespace
