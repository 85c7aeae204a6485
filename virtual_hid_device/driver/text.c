#include "text.h"

void CopyText(WCHAR* target, ULONG capacity, const WCHAR* source, ULONG count) {
    ULONG i = 0;
    if (capacity == 0) {
        return;
    }
    for (; i + 1 < capacity && i < count && source[i]; ++i) {
        target[i] = source[i];
    }
    target[i] = 0;
}

ULONG TextLength(const WCHAR* text) {
    ULONG length = 0;
    while (text[length]) {
        ++length;
    }
    return length;
}

void AppendDecimal(WCHAR* target, ULONG capacity, ULONG number) {
    WCHAR digits[11];
    ULONG count = 0;
    ULONG length = TextLength(target);
    do {
        digits[count++] = (WCHAR)(L'0' + number % 10);
        number /= 10;
    } while (number);
    while (count && length + 1 < capacity) {
        target[length++] = digits[--count];
    }
    target[length] = 0;
}
