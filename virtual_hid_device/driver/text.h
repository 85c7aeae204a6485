// Small text helpers for a driver that links no C runtime.
#ifndef VHID_TEXT_H
#define VHID_TEXT_H

#include <ntddk.h>

// Copies at most `count` characters of `source`, stopping at its terminator, and always
// terminates `target` (which holds `capacity` characters).
void CopyText(WCHAR* target, ULONG capacity, const WCHAR* source, ULONG count);
ULONG TextLength(const WCHAR* text);
void AppendDecimal(WCHAR* target, ULONG capacity, ULONG number);

#endif
