"""Where a language's declarations and Velmar.dll disagree: against the header's model
(argument names in order, widths, records' sizes and offsets), the DLL's export table and,
on x86, the stdcall decoration of each export in Velmar.def."""
import re

from declared import POINTER

# Width of each kind of value, as in bindings/header_model.py.
FIXED_WIDTH = {"int32": 4, "uint32": 4, "bool32": 4, "uint16": 2}


def kind_width(kind, architecture):
    return FIXED_WIDTH.get(kind.partition(":")[0], POINTER[architecture])


def decorations(definition_file):
    """Each export's argument bytes, from its stdcall decoration (HID_GetCaps@8)."""
    with open(definition_file) as file:
        return {name: int(count) for name, count in re.findall(r"^\s*(\w+)@(\d+)", file.read(), re.M)}


def _function(name, signature, header, architecture, stack_bytes):
    problems = [f"{name}: {problem}" for problem in signature.problems]
    if signature.convention != "stdcall":
        problems.append(f"{name}: {signature.convention}, not stdcall")
    if signature.library.lower() != "velmar.dll" or signature.entry != name:
        problems.append(f"{name}: imports {signature.entry} from {signature.library}")
    names = [parameter for parameter, _ in signature.parameters]
    expected = [parameter["name"] for parameter in header["parameters"]]
    if names != expected:
        problems.append(f"{name}: arguments {', '.join(names)}; velmar.h has "
                        f"{', '.join(expected)}")
    widths = [width for _, width in signature.parameters]
    expected_widths = [kind_width(p["kind"], architecture) for p in header["parameters"]]
    if widths != expected_widths:
        problems.append(f"{name}: argument widths {widths}; velmar.h has {expected_widths}")
    if architecture == "x86" and sum(widths) != stack_bytes:
        problems.append(f"{name}: {sum(widths)} bytes of arguments; Velmar.def says "
                        f"{name}@{stack_bytes}")
    if signature.result != kind_width(header["result"], architecture):
        problems.append(f"{name}: a {signature.result}-byte result")
    return problems


def _record(record, layout, architecture):
    name = record["name"]
    if layout is None:
        return [f"{name}: not declared"]
    problems = []
    if layout.size != record["size"][architecture]:
        problems.append(f"{name}: {layout.size} bytes; velmar.h has "
                        f"{record['size'][architecture]}")
    expected = {field["name"]: field["offset"][architecture] for field in record["fields"]}
    if layout.offsets != expected:
        problems.append(f"{name}: fields at {layout.offsets}; velmar.h has {expected}")
    return problems


def differences(declared, model, architecture, exported, stack_bytes):
    header = {function["name"]: function for function in model["functions"]}
    problems = list(declared.problems)
    problems += [f"{name}: velmar.h declares it, the binding does not"
                 for name in header if name not in declared.functions]
    for name, signature in declared.functions.items():
        if name not in exported:
            problems.append(f"{name}: Velmar.dll does not export it")
        elif name in header:
            problems += _function(name, signature, header[name], architecture,
                                  stack_bytes.get(name))
    for record in model["records"]:
        problems += _record(record, declared.records.get(record["name"]), architecture)
    return problems
