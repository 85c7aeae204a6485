#include "library_heaps.h"

namespace {

constexpr SIZE_T kInitialHeapSize = 4096;
constexpr SIZE_T kInitialResultAreaSize = 16;

HANDLE generalHeap;
HANDLE stringHeap;
char* resultArea;
SIZE_T resultAreaSize;

int TextLength(const char* text) {
    int length = 0;
    while (text[length] != '\0') {
        ++length;
    }
    return length;
}

// Copies `length` characters and the terminating 0.
void CopyText(char* to, const char* from, int length) {
    for (int i = 0; i < length; ++i) {
        to[i] = from[i];
    }
    to[length] = '\0';
}

} // namespace

void CreateLibraryHeaps() {
    stringHeap = HeapCreate(HEAP_NO_SERIALIZE, kInitialHeapSize, 0);
    if (stringHeap) {
        resultArea =
            static_cast<char*>(HeapAlloc(stringHeap, HEAP_ZERO_MEMORY, kInitialResultAreaSize));
        resultAreaSize = resultArea ? kInitialResultAreaSize : 0;
    }
    generalHeap = HeapCreate(0, kInitialHeapSize, 0);
}

void* AllocateScratch(int size) {
    if (size <= 0 || !generalHeap) {
        return nullptr;
    }
    return HeapAlloc(generalHeap, HEAP_ZERO_MEMORY, static_cast<SIZE_T>(size));
}

void FreeScratch(void* block) {
    HeapFree(generalHeap, 0, block);
}

char* StoreString(char* text, const char* source) {
    if (!stringHeap) {
        return nullptr;
    }
    const int length = TextLength(source);
    const SIZE_T size = static_cast<SIZE_T>(length) + 1;
    void* block = text ? HeapReAlloc(stringHeap, HEAP_ZERO_MEMORY, text, size)
                       : HeapAlloc(stringHeap, HEAP_ZERO_MEMORY, size);
    char* stored = static_cast<char*>(block);
    if (stored) {
        CopyText(stored, source, length);
    }
    return stored;
}

bool StoreString(StringBlock& block, const char* source) {
    char* stored = StoreString(block.get(), source);
    if (!stored) {
        return false;
    }
    // The old block was resized into `stored`, so it must not be freed again.
    block.release();
    block.reset(stored);
    return true;
}

void FreeString(char* text) {
    HeapFree(stringHeap, 0, text);
}

// The area grows to the longest text it has carried and is kept: device strings are at
// most 126 UTF-16 units, so it never passes a few hundred bytes however often it is used.
char* ReserveResultArea(int size) {
    if (size <= 0 || !resultArea) {
        return nullptr;
    }
    if (static_cast<SIZE_T>(size) > resultAreaSize) {
        void* grown =
            HeapReAlloc(stringHeap, HEAP_ZERO_MEMORY, resultArea, static_cast<SIZE_T>(size));
        if (!grown) {
            return nullptr;
        }
        resultArea = static_cast<char*>(grown);
        resultAreaSize = static_cast<SIZE_T>(size);
    }
    return resultArea;
}

const char* CopyToResultArea(const char* text) {
    const int length = TextLength(text);
    char* copy = ReserveResultArea(length + 1);
    if (copy) {
        CopyText(copy, text, length);
    }
    return copy;
}
