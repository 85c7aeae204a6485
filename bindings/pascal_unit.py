"""Velmar.pas: one unit for Free Pascal ({$mode delphi}) and Delphi, both architectures.

Only the System unit's types, so that it compiles with the smallest Windows RTL and in every
Delphi: THandle and Pointer follow the target's pointer width by themselves.
"""

TYPE = {
    "int32": "Integer",
    "uint32": "Cardinal",
    "bool32": "LongBool",
    "uint16": "Word",
    "handle": "THandle",
    "buffer": "Pointer",
    "in_buffer": "Pointer",
    "text": "PAnsiChar",
    "record_pointer": "P{record}",
    "record": "T{record}",
}


def _spelling(kind):
    base, _, record = kind.partition(":")
    return TYPE[base].format(record=record)


def _comment(text, indent=""):
    # A brace would end the comment early.
    return f"{indent}{{ {text.replace('}', ')')} }}\n" if text else ""


def _record(record, constants):
    lines = [_comment(record.brief, "  ") + f"  P{record.name} = ^T{record.name};",
             f"  T{record.name} = packed record"]
    for field in record.fields:
        spelling = _spelling(field.kind)
        if field.count > 1:
            bound = next((name for name, value in constants.items() if value == field.count),
                         str(field.count))
            spelling = f"array[0..{bound} - 1] of {spelling}"
        lines.append(f"    {field.name}: {spelling};")
    lines.append("  end;")
    return "\n".join(lines)


def _function(function):
    parameters = "; ".join(f"{p.name}: {_spelling(p.kind)}" for p in function.parameters)
    return (_comment(function.brief) + f"function {function.name}({parameters}): "
            f"{_spelling(function.result)}; stdcall; external 'Velmar.dll';")


def render(api):
    constants = "\n".join(f"  {name} = {value};" for name, value in api.constants.items())
    records = "\n".join(_record(record, api.constants) for record in api.records)
    functions = "\n".join(_function(function) for function in api.functions)
    return f"""{{ Velmar.dll for Free Pascal and Delphi, 32- and 64-bit. Written from velmar.h by the
  kit's generator: change the header, not this file.
  Each function takes its arguments in velmar.h's order (product before vendor); strings
  are ANSI (PAnsiChar) and belong to the library. }}
unit Velmar;

{{$ifdef FPC}}{{$mode delphi}}{{$endif}}

interface

const
{constants}

type
{records}

{functions}

implementation

end.
"""
