"""Velmar.cs: P/Invoke declarations for C#, one assembly for both architectures.

String results are IntPtr: the text belongs to the library, so the marshaller must not free
it; Velmar.Text copies it. The table's records are packed as in velmar.h and IntPtr follows
the process's pointer width.
"""
import html

ARGUMENT = {
    "int32": "int",
    "uint32": "uint",
    "bool32": "bool",
    "handle": "IntPtr",
    "buffer": "[In, Out] byte[]",
    "in_buffer": "byte[]",
    "text": "IntPtr",
    "record_pointer": "ref {record}",
}
FIELD = {"uint16": "ushort", "text": "IntPtr", "record": "{record}"}
IMPORT = ('[DllImport("Velmar.dll", CallingConvention = CallingConvention.StdCall, '
          "CharSet = CharSet.Ansi, ExactSpelling = true)]")


def _spelling(table, kind):
    base, _, record = kind.partition(":")
    return table[base].format(record=record)


def _summary(text, indent):
    return f"{indent}/// <summary>{html.escape(text, quote=False)}</summary>\n" if text else ""


def _record(record):
    lines = [_summary(record.brief, "    ")
             + "    [StructLayout(LayoutKind.Sequential, Pack = 1)]",
             f"    public struct {record.name}", "    {"]
    for field in record.fields:
        spelling = _spelling(FIELD, field.kind)
        if field.count > 1:
            lines.append(f"        [MarshalAs(UnmanagedType.ByValArray, SizeConst = {field.count})]")
            spelling += "[]"
        lines.append(f"        public {spelling} {field.name};")
    lines.append("    }")
    return "\n".join(lines)


def _function(function):
    parameters = ", ".join(f"{_spelling(ARGUMENT, p.kind)} {p.name}" for p in function.parameters)
    result = _spelling(ARGUMENT, function.result)
    marshal = ("        [return: MarshalAs(UnmanagedType.Bool)]\n"
               if function.result == "bool32" else "")
    return (_summary(function.brief, "        ") + f"        {IMPORT}\n{marshal}"
            f"        public static extern {result} {function.name}({parameters});")


def render(api):
    constants = "\n".join(f"        public const int {name} = {value};"
                          for name, value in api.constants.items())
    records = "\n\n".join(_record(record) for record in api.records)
    functions = "\n\n".join(_function(function) for function in api.functions)
    return f"""// Velmar.dll for C# (P/Invoke), 32- and 64-bit. Written from velmar.h by the kit's
// generator: change the header, not this file.
// Each function takes its arguments in velmar.h's order (product before vendor).
using System;
using System.Runtime.InteropServices;

namespace VelmarHid
{{
{records}

    public static class Velmar
    {{
{constants}

{functions}

        /// <summary>A copy of library-owned ANSI text (a string result or a table field).</summary>
        public static string Text(IntPtr text)
        {{
            return text == IntPtr.Zero ? "" : Marshal.PtrToStringAnsi(text);
        }}
    }}
}}
"""
