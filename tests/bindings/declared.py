"""What each language's declarations of Velmar.dll say, read the way that language's own
tools see them, in one form for comparing with the header:

    Declared(functions={name: Signature}, records={name: Layout})

with every width in bytes for one architecture (pointer: 4 on x86, 8 on x64).
"""
import ctypes
import dataclasses
import importlib.util
import json
import os
import re
import subprocess

POINTER = {"x86": 4, "x64": 8}


@dataclasses.dataclass
class Signature:
    convention: str  # "stdcall" or what the declaration says instead
    library: str
    entry: str
    parameters: list  # (name, width)
    result: int  # width
    problems: list = dataclasses.field(default_factory=list)  # language-specific faults


@dataclasses.dataclass
class Layout:
    size: int
    offsets: dict  # field -> offset


@dataclasses.dataclass
class Declared:
    functions: dict
    records: dict
    problems: list = dataclasses.field(default_factory=list)  # faults of the file as a whole


# Python: the module loaded with stand-ins for ctypes' loaders, so that the argument and
# result types it sets are the ones read.
class _Function:
    pass


class _Library:
    def __init__(self, convention, path):
        self.convention, self.path = convention, path

    def __getattr__(self, name):
        function = _Function()
        setattr(self, name, function)
        return function


def _ctypes_width(type_, pointer):
    if type_ in (ctypes.c_void_p, ctypes.c_char_p) or issubclass(type_, ctypes._Pointer):
        return pointer
    return ctypes.sizeof(type_)


def _ctypes_layout(record):
    return Layout(ctypes.sizeof(record), {name: getattr(record, name).offset
                                          for name, _ in record._fields_})


def python(path, architecture):
    spec = importlib.util.spec_from_file_location("velmar_under_test", path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    ctypes.WinDLL = lambda path: _Library("stdcall", path)
    ctypes.CDLL = lambda path: _Library("cdecl", path)
    loaded = module.load()
    pointer = POINTER[architecture]
    functions = {}
    for name, (_, parameters) in module.FUNCTIONS.items():
        function = getattr(loaded.dll, name)
        widths = [_ctypes_width(t, pointer) for t in function.argtypes]
        functions[name] = Signature(loaded.dll.convention, loaded.dll.path, name,
                                    list(zip([p for p, _ in parameters], widths)),
                                    _ctypes_width(function.restype, pointer))
    records = module.records(ctypes.c_uint32 if pointer == 4 else ctypes.c_uint64)
    return Declared(functions, {r.__name__: _ctypes_layout(r) for r in records})


# C#: the assembly that mcs built, as the runtime's reflection reports it.
CSHARP_ELEMENT_WIDTH = {"Byte": 1, "UInt16": 2, "Int32": 4, "UInt32": 4}


def _passing_width(passing, pointer):
    return {"pointer": pointer, "bool32": 4}.get(passing) or int(passing.removeprefix("int"))


def _csharp_layout(name, records, pointer):
    """A record's layout for `pointer`, from its fields as reflection saw them. It is the
    runtime's own where the runtime has that pointer width; elsewhere it is worked out the
    way the marshaller packs: only Pack = 1 gives the header's layout on every architecture."""
    record = records[name]
    offsets, size = {}, 0
    for field, seen in record["fields"].items():
        passing = seen["passing"]
        if passing.startswith("array "):
            _, count, element = passing.split()
            element_width = (_csharp_layout(element, records, pointer).size if element in records
                             else CSHARP_ELEMENT_WIDTH[element])
            width = int(count) * element_width
        else:
            width = _passing_width(passing, pointer)
        if record["pack"] != 1:
            size += -size % min(width, 8)
        offsets[field] = size
        size += width
    return Layout(size, offsets)


def csharp(reflected, architecture):
    pointer = POINTER[architecture]
    functions = {}
    for name, seen in reflected["functions"].items():
        problems = [f"CharSet.{seen['charset']}"] if seen["charset"] != "Ansi" else []
        problems += [] if seen["exact"] else ["ExactSpelling = false"]
        convention = "stdcall" if seen["convention"] == "StdCall" else seen["convention"]
        parameters = [(p["name"], _passing_width(p["passing"], pointer))
                      for p in seen["parameters"]]
        functions[name] = Signature(convention, seen["library"], seen["entry"], parameters,
                                    _passing_width(seen["result"], pointer), problems)
    records = {}
    for name in reflected["records"]:
        if int(reflected["pointer"]) == pointer:
            seen = reflected["records"][name]
            records[name] = Layout(int(seen["size"]), {f: int(v["offset"])
                                                       for f, v in seen["fields"].items()})
        else:
            records[name] = _csharp_layout(name, reflected["records"], pointer)
    return Declared(functions, records)


# Pascal: the compiled unit, as ppudump reads it.
def _ppudump(ppu, *options):
    return subprocess.run([os.environ.get("PPUDUMP", "ppudump"), *options, ppu], check=True, capture_output=True,
                          text=True).stdout


def _definitions(ppu):
    unit = json.loads(_ppudump(ppu, "-Fj"))[0]
    return unit, {d["Id"]: d for d in unit["Interface"] if "Id" in d}


def pascal(ppu, system_ppu, architecture):
    pointer = POINTER[architecture]
    unit, local = _definitions(ppu)
    _, system = _definitions(system_ppu)

    def width(reference, spez=None):
        if spez in ("var", "out", "const", "constref"):
            return pointer
        definition = (system if "Unit" in reference else local)[reference["Id"]]
        return pointer if definition["Type"] == "ptr" else definition["Size"]

    dump = _ppudump(ppu, "-VA")
    blocks = dict(re.findall(r"^\*\* Definition Id (\d+) \*\*\n(.*?)(?=^\*\* |\Z)", dump,
                             re.M | re.S))

    def detail(block, label):
        found = re.search(rf"^\s*{label} : (.*)$", block, re.M)
        return found.group(1).strip() if found else ""

    functions, records = {}, {}
    for definition in local.values():
        block = blocks.get(str(definition["Id"]), "")
        if definition["Type"] == "proc":
            convention = detail(block, "CallOption").lower()
            parameters = [(p["Name"], width(p["VarType"], p.get("Spez")))
                          for p in definition.get("Params", [])]
            functions[definition["Name"]] = Signature(
                convention, detail(block, "Import DLL"), detail(block, "Import Name"),
                parameters, width(definition["RetType"]))
        elif definition["Type"] == "rec":
            offsets = dict(re.findall(r"Field Variable symbol (\w+)\n(?:.*\n)*?\s*Address : (\d+)",
                                      block))
            records[definition["Name"].removeprefix("T")] = Layout(
                definition["Size"], {field: int(offset) for field, offset in offsets.items()})
    return Declared(functions, records)


# VBA: the module's text, with its conditional compilation decided for one kind of Office.
VBA_WIDTH = {"Integer": 2, "Long": 4, "Byte": 1}


def _vba_branch(text, flags):
    kept, stack = [], []
    for line in text.splitlines():
        directive = re.match(r"\s*#(If|ElseIf|Else|End If)\b\s*(\w*)", line)
        if not directive:
            if all(stack):
                kept.append(line)
            continue
        word, flag = directive.groups()
        if word == "If":
            stack.append(flags.get(flag, False))
        elif word == "Else":
            stack[-1] = not stack[-1]
        elif word == "End If":
            stack.pop()
    return "\n".join(kept)


def _vba_module_problems(text):
    """What keeps the module's text from importing, into VB6 or the VBA editor alike."""
    problems = []
    if re.search(r"(?<!\r)\n", text):
        problems.append("lines end in LF alone: VB6 refuses the module, VBA's Import misreads it")
    if not re.match(r'Attribute VB_Name = "\w+"\r?\n', text):
        problems.append("the first line is not the module's Attribute VB_Name")
    return problems


def vba(text, architecture, vba7=True):
    """The module's text as it lies in the file, its line ends included."""
    pointer = POINTER[architecture]
    code = _vba_branch(text, {"VBA7": vba7, "Win64": architecture == "x64"})
    constants = {name: int(value) for name, value in
                 re.findall(r"^Public Const (\w+) As Long = (-?\d+)", code, re.M)}

    def value(expression):
        for name, number in constants.items():
            expression = re.sub(rf"\b{name}\b", str(number), expression)
        if not re.fullmatch(r"[\d\s+\-]+", expression):
            raise ValueError(f"cannot evaluate {expression}")
        return eval(expression)

    widths = {**VBA_WIDTH, "LongPtr": pointer}
    records, alignments = {}, {}
    for name, body in re.findall(r"^Public Type (\w+)\n(.*?)^End Type", code, re.M | re.S):
        offsets, size, alignment = {}, 0, 1
        for field, low, high, type_ in re.findall(
                r"^\s*(\w+)(?:\((.+?) To (.+?)\))? As (\w+)", body, re.M):
            count = value(high) - value(low) + 1 if low else 1
            width = widths.get(type_) or records[type_].size
            align = alignments.get(type_) or min(width, pointer if type_ == "LongPtr" else 4)
            size += -size % align
            offsets[field] = size
            size += count * width
            alignment = max(alignment, align)
        size += -size % alignment
        records[name], alignments[name] = Layout(size, offsets), alignment

    def passing(parameter):
        by, name, type_ = re.fullmatch(r"(ByVal|ByRef) (\w+) As (\w+)", parameter.strip()).groups()
        return name, widths[type_] if by == "ByVal" else pointer

    functions = {}
    for safe, name, cdecl, library, parameters, result in re.findall(
            r'^Public Declare (PtrSafe )?Function (\w+) (CDecl )?Lib "([^"]+)" \((.*)\) As (\w+)',
            code, re.M):
        problems = [] if safe or not vba7 else ["no PtrSafe: 64-bit Office refuses it"]
        functions[name] = Signature("cdecl" if cdecl else "stdcall", library, name,
                                    [passing(p) for p in parameters.split(",") if p.strip()],
                                    widths[result], problems)
    return Declared(functions, records, _vba_module_problems(text))
