// Callers declare the exports stdcall: the callee removes its arguments from the stack.
// An export that left them would corrupt every caller's stack frame.
#include "support/velmar_library.h"

#include <gtest/gtest.h>

namespace {

// Calls `function` with `count` zero arguments and returns how far the stack pointer
// moved across the call: 0 when the callee removed its arguments, -4 * count when not.
int StackDriftOfCall(void* function, int count) {
    int drift;
    asm volatile("movl %%esp, %%esi\n\t"
                 "1:\n\t"
                 "testl %%ecx, %%ecx\n\t"
                 "jz 2f\n\t"
                 "pushl $0\n\t"
                 "decl %%ecx\n\t"
                 "jmp 1b\n"
                 "2:\n\t"
                 "call *%%ebx\n\t"
                 "movl %%esp, %%edx\n\t"
                 "subl %%esi, %%edx\n\t"
                 "movl %%esi, %%esp\n\t"
                 : "=d"(drift), "+c"(count)
                 : "b"(function)
                 : "eax", "esi", "memory", "cc");
    return drift;
}

int __cdecl CallerCleansUp(int, int) {
    return 0;
}

struct ExportSignature {
    const char* name;
    int argumentCount;
};

const ExportSignature kExports[] = {
    {"HID_CloseDevice", 1},
    {"HID_DeviceInfo", 1},
    {"HID_DeviceTest", 4},
    {"HID_GetCaps", 2},
    {"HID_GetFeature", 3},
    {"HID_GetIndexedString", 2},
    {"HID_GetInputReport", 3},
    {"HID_GetManufacturerString", 1},
    {"HID_GetNumInputBuffers", 1},
    {"HID_GetProductString", 1},
    {"HID_GetSerialNumberString", 1},
    {"HID_OpenDevice", 4},
    {"HID_ReadDevice", 3},
    {"HID_SetFeature", 3},
    {"HID_SetOutputReport", 3},
    {"HID_WriteDevice", 3},
};

TEST(ExportConvention, TheProbeTellsTheConventionsApart) {
    EXPECT_EQ(StackDriftOfCall(reinterpret_cast<void*>(&CallerCleansUp), 2), -8);
}

// Zero arguments are refused or find nothing, so every export returns at once.
TEST(ExportConvention, EveryExportRemovesItsOwnArguments) {
    for (const ExportSignature& signature : kExports) {
        void* address = reinterpret_cast<void*>(GetProcAddress(Velmar().module, signature.name));
        ASSERT_NE(address, nullptr) << signature.name;
        EXPECT_EQ(StackDriftOfCall(address, signature.argumentCount), 0) << signature.name;
    }
}

} // namespace
