"""Velmar.bas: Declare statements for VBA (32- and 64-bit Office) and VB6.

VBA lays out a Type with each member on its natural boundary (up to 4 bytes, 8 for a
LongPtr in 64-bit Office), while the table is packed: a string pointer at offset 14 would
move. So the records hold each pointer as Integer words (a Type of Integers only has no
padding) and VelmarPointer reads them back.
"""

# Spellings in 64-bit-aware VBA 7 and in VBA 6 / VB6.
ARGUMENT = {
    "int32": ("ByVal {name} As Long", "ByVal {name} As Long"),
    "uint32": ("ByVal {name} As Long", "ByVal {name} As Long"),
    "handle": ("ByVal {name} As LongPtr", "ByVal {name} As Long"),
    "buffer": ("ByRef {name} As Any", "ByRef {name} As Any"),
    "in_buffer": ("ByRef {name} As Any", "ByRef {name} As Any"),
    "record_pointer": ("ByRef {name} As {record}", "ByRef {name} As {record}"),
}
RESULT = {"int32": ("Long", "Long"), "uint32": ("Long", "Long"), "bool32": ("Long", "Long"),
          "handle": ("LongPtr", "Long"), "text": ("LongPtr", "Long")}
FIELD = {"uint16": "Integer", "record": "{record}"}

HELPERS = '''
' An unsigned 16-bit field (a vendor or product ID, a version) as its value: VBA's Integer
' is signed, so vendor &HF6F1 would read as -2319.
Public Function VelmarWord(ByVal value As Integer) As Long
    VelmarWord = CLng(value) And &HFFFF&
End Function

#If VBA7 Then
Private Declare PtrSafe Function lstrlenA Lib "kernel32" (ByVal text As LongPtr) As Long
Private Declare PtrSafe Sub RtlMoveMemory Lib "kernel32" (ByRef destination As Any, ByVal source As LongPtr, ByVal length As LongPtr)

' The pointer that a record's Integer words hold (a table entry's Manufacturer, say).
Public Function VelmarPointer(ByRef firstWord As Integer) As LongPtr
    Dim pointer As LongPtr
    RtlMoveMemory pointer, VarPtr(firstWord), LenB(pointer)
    VelmarPointer = pointer
End Function

' A copy of library-owned ANSI text: a string function's result or VelmarPointer's.
Public Function VelmarText(ByVal text As LongPtr) As String
#Else
Private Declare Function lstrlenA Lib "kernel32" (ByVal text As Long) As Long
Private Declare Sub RtlMoveMemory Lib "kernel32" (ByRef destination As Any, ByVal source As Long, ByVal length As Long)

Public Function VelmarPointer(ByRef firstWord As Integer) As Long
    Dim pointer As Long
    RtlMoveMemory pointer, VarPtr(firstWord), LenB(pointer)
    VelmarPointer = pointer
End Function

Public Function VelmarText(ByVal text As Long) As String
#End If
    Dim length As Long
    Dim bytes() As Byte
    If text = 0 Then Exit Function
    length = lstrlenA(text)
    If length = 0 Then Exit Function
    ReDim bytes(0 To length - 1)
    RtlMoveMemory bytes(0), text, length
    VelmarText = StrConv(bytes, vbUnicode)
End Function
'''


def _spelling(kind, name, which, table):
    base, _, record = kind.partition(":")
    return table[base][which].format(name=name, record=record)


def _record(record, constants):
    lines = [f"' {record.brief}" if record.brief else f"' {record.name}",
             f"Public Type {record.name}"]
    for field in record.fields:
        base, _, inner = field.kind.partition(":")
        if base == "text":
            lines.append(f"    {field.name}(0 To VELMAR_POINTER_WORDS - 1) As Integer")
            continue
        count = next((name for name, value in constants.items() if value == field.count),
                     str(field.count))
        bounds = f"(0 To {count} - 1)" if field.count > 1 else ""
        lines.append(f"    {field.name}{bounds} As {FIELD[base].format(record=inner)}")
    lines.append("End Type")
    return "\n".join(lines)


def _declares(api, which):
    safe = "PtrSafe " if which == 0 else ""
    lines = []
    for function in api.functions:
        parameters = ", ".join(_spelling(p.kind, p.name, which, ARGUMENT)
                               for p in function.parameters)
        result = _spelling(function.result, "", which, RESULT)
        lines.append(f'Public Declare {safe}Function {function.name} Lib "Velmar.dll" '
                     f"({parameters}) As {result}")
    return "\n".join(lines)


def render(api):
    constants = "\n".join(f"Public Const {name} As Long = {value}"
                          for name, value in api.constants.items())
    records = "\n\n".join(_record(record, api.constants) for record in api.records)
    return f"""Attribute VB_Name = "Velmar"
' Velmar.dll for VBA (32- and 64-bit Office) and VB6. Written from velmar.h by the kit's
' generator: change the header, not this file.
' Each function takes its arguments in velmar.h's order (product before vendor). A BOOL is
' a Long: test it with <> 0, never with Not (Not 1 is -2, which is true as well). A record's
' 16-bit fields are unsigned: read them with VelmarWord. Strings are ANSI and belong to the
' library: copy them at once with VelmarText.
Option Explicit

{constants}

#If Win64 Then
Public Const VELMAR_POINTER_WORDS As Long = 4
#Else
Public Const VELMAR_POINTER_WORDS As Long = 2
#End If

{records}

#If VBA7 Then
{_declares(api, 0)}
#Else
{_declares(api, 1)}
#End If
{HELPERS}"""
