#include "process_footprint.h"

#include "support/handle_count.h"

#include <psapi.h>

#include <algorithm>

std::vector<HANDLE> LibraryHeaps::ProcessHeaps() {
    std::vector<HANDLE> heaps(256);
    const DWORD count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    heaps.resize(std::min<size_t>(count, heaps.size()));
    return heaps;
}

void LibraryHeaps::FindLibraryHeaps() {
    for (HANDLE heap : ProcessHeaps()) {
        if (std::find(before_.begin(), before_.end(), heap) == before_.end()) {
            library_.push_back(heap);
        }
    }
}

Footprint LibraryHeaps::Measure() const {
    Footprint footprint = {};
    for (HANDLE heap : library_) {
        HeapLock(heap);
        PROCESS_HEAP_ENTRY entry = {};
        while (HeapWalk(heap, &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
                footprint.libraryHeapBytes += entry.cbData;
                ++footprint.libraryHeapBlocks;
            }
        }
        HeapUnlock(heap);
    }
    footprint.handles = CountOpenHandles();
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                         sizeof memory);
    footprint.committedBytes = memory.PagefileUsage;
    return footprint;
}
