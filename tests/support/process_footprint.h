// What the process holds at a moment: the bytes in use in the library's own heaps, open
// handles and committed memory, for benchmarks that must show them staying flat.
#pragma once

#include <windows.h>

#include <vector>

struct Footprint {
    SIZE_T libraryHeapBytes;
    int libraryHeapBlocks;
    int handles;
    SIZE_T committedBytes; // PagefileUsage: Wine reports no PrivateUsage
};

// Remembers which heaps exist before the library is loaded, so that the heaps it creates
// can be told apart afterwards.
class LibraryHeaps {
public:
    LibraryHeaps() : before_(ProcessHeaps()) {}
    // Call once the library is loaded.
    void FindLibraryHeaps();
    Footprint Measure() const;

private:
    static std::vector<HANDLE> ProcessHeaps();
    std::vector<HANDLE> before_;
    std::vector<HANDLE> library_;
};
