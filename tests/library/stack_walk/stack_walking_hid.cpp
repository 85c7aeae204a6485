// hid.dll for the unwind test: every function forwards to the device simulator (the .def
// says so) but HidP_GetCaps, which first walks the stack from its own frame with the
// platform's unwinder, the way an exception finds its handler, and keeps what it saw.
#include "proc_address.h"
#include "stack_walk.h"

namespace {

StackWalk lastWalk;

DWORD64 ProgramCounter(const CONTEXT& context) {
#if defined(__aarch64__)
    return context.Pc;
#else
    return context.Rip;
#endif
}

// Stops at the first frame without unwind data: Windows would take it for a leaf function and
// read its return address from the top of the stack, a guess the test must not see.
void WalkTheStack(StackWalk& walk) {
    CONTEXT context;
    RtlCaptureContext(&context);
    walk.count = 0;
    while (walk.count < StackWalk::kMaxFrames && ProgramCounter(context) != 0) {
        const DWORD64 pc = ProgramCounter(context);
        DWORD64 imageBase = 0;
        const PRUNTIME_FUNCTION entry = RtlLookupFunctionEntry(pc, &imageBase, nullptr);
        walk.frames[walk.count++] = {pc, entry != nullptr};
        if (!entry) {
            return;
        }
        void* handlerData = nullptr;
        DWORD64 establisherFrame = 0;
        RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, pc, entry, &context, &handlerData,
                         &establisherFrame, nullptr);
    }
}

} // namespace

extern "C" LONG WINAPI HidP_GetCaps(void* preparsed, void* caps) {
    WalkTheStack(lastWalk);
    const auto simulator =
        ProcAddress<LONG(WINAPI*)(void*, void*)>(GetModuleHandleA("devsim.dll"), "HidP_GetCaps");
    return simulator(preparsed, caps);
}

extern "C" const StackWalk* WINAPI StackWalkOfLastCaps() {
    return &lastWalk;
}
