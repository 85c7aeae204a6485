"""Writes every language's declarations of Velmar.dll from velmar.h:
    generate_bindings.py HEADER OUTPUT_FOLDER
Velmar.pas, Velmar.cs, Velmar.bas and velmar.py for callers; model.json (the header as the
checks compare against it) and layout_check.c (the same layout, asserted by the C compiler
that builds the library, for each architecture).
"""
import dataclasses
import json
import os
import sys

import csharp_class
import header_model
import pascal_unit
import python_module
import vba_module

BINDINGS = {"Velmar.pas": pascal_unit, "Velmar.cs": csharp_class, "Velmar.bas": vba_module,
            "velmar.py": python_module}
# VB6 refuses a module whose lines end in LF alone, and the VBA editor's Import misreads it.
LINE_ENDS = {"Velmar.bas": "\r\n"}


def layout_check(api):
    """C11 assertions of each record's size and field offsets, both architectures'."""
    lines = ["/* Written by the bindings' generator: the layout they were written for. */",
             "#include <stddef.h>", '#include "velmar.h"',
             *sorted({f"#include <{r.header}>" for r in api.records if r.header}), "",
             "#define VELMAR_LAYOUT(x86, x64) (sizeof(void*) == 8 ? (x64) : (x86))"]
    for record in api.records:
        size = record.size
        lines.append(f"_Static_assert(sizeof({record.name}) == "
                     f"VELMAR_LAYOUT({size['x86']}, {size['x64']}), \"{record.name}\");")
        for field in record.fields:
            offset = field.offset
            lines.append(f"_Static_assert(offsetof({record.name}, {field.name}) == "
                         f"VELMAR_LAYOUT({offset['x86']}, {offset['x64']}), "
                         f"\"{record.name}.{field.name}\");")
    return "\n".join(lines) + "\n"


def write(path, text, line_end="\n"):
    """Writes only on change, so that what depends on the file rebuilds only when it must."""
    text = text.replace("\n", line_end)
    if os.path.exists(path):
        with open(path, encoding="utf-8", newline="") as file:
            if file.read() == text:
                return
    with open(path, "w", encoding="utf-8", newline="") as file:
        file.write(text)


def main(header, folder):
    try:
        api = header_model.read(os.path.abspath(header))
    except header_model.UnknownType as problem:
        sys.exit(f"bindings: {problem}")
    os.makedirs(folder, exist_ok=True)
    for name, language in BINDINGS.items():
        write(os.path.join(folder, name), language.render(api), LINE_ENDS.get(name, "\n"))
    write(os.path.join(folder, "model.json"), json.dumps(dataclasses.asdict(api), indent=1) + "\n")
    write(os.path.join(folder, "layout_check.c"), layout_check(api))


if __name__ == "__main__":
    main(*sys.argv[1:])
