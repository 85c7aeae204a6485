// The library's two private heaps. The general heap (serialized) holds zero-filled scratch
// blocks that never outlive an export call; the string heap (unserialized, so only the
// one-caller-at-a-time exports touch it) holds text that does: string slots, device
// paths, the table strings handed to callers and the shared scratch area for results.
#pragma once

#include "unique_resource.h"

#include <windows.h>

// Creates both heaps: the string heap with its result area first, then the general heap.
// A heap that cannot be created stays null, and every allocation from it fails.
void CreateLibraryHeaps();

// A zero-filled block of `size` bytes from the general heap; null for size <= 0 or when
// the heap is exhausted.
void* AllocateScratch(int size);
void FreeScratch(void* block);

struct ScratchBlockTraits {
    using Value = void*;
    static Value Empty() { return nullptr; }
    static bool IsValid(Value block) { return block != nullptr; }
    static void Release(Value block) { FreeScratch(block); }
};
using ScratchBlock = UniqueResource<ScratchBlockTraits>;

// Copies `source` with its terminating 0 into a string-heap block: a null `text` gets a
// new block, an existing block is resized to fit. Returns the block, or null when the heap
// cannot supply it (an existing block is then left as it was).
char* StoreString(char* text, const char* source);
void FreeString(char* text);

struct StringBlockTraits {
    using Value = char*;
    static Value Empty() { return nullptr; }
    static bool IsValid(Value text) { return text != nullptr; }
    static void Release(Value text) { FreeString(text); }
};
using StringBlock = UniqueResource<StringBlockTraits>;

// StoreString for a block the library owns; false (block unchanged) when the heap fails.
bool StoreString(StringBlock& block, const char* source);

// The string heap's shared result area, through which text passes on its way to a caller:
// at least `size` bytes, valid until the next call that reserves it. Null when the heap
// cannot supply them.
char* ReserveResultArea(int size);

// A copy of `text` in the result area, or null when the area cannot hold it.
const char* CopyToResultArea(const char* text);
