// Looking an entry point up by name, typed: GetProcAddress answers with FARPROC, a
// placeholder that says nothing of how the entry is called, so the caller names the real
// function type once and every lookup converts the same way.
#pragma once

#include <windows.h>

// The entry `name` of `module` as `Function`, or null when the module or the entry is missing.
template <typename Function>
Function ProcAddress(HMODULE module, const char* name) {
    if (!module) {
        return nullptr;
    }
    // Through a plain function pointer: converting between function pointer types is what
    // the language allows without a warning about incompatible casts.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}
