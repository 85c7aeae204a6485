"""What velmar.h declares, as the C compiler sees it for each architecture.

libclang parses the header once for the x86 target and once for the x64 one; every binding
is written from this model and every check compares against it, so a binding cannot follow
anything but the header. A type that the model has no kind for stops the build: a new kind
of argument needs a decision in each language, not a guess.
"""
import dataclasses
import glob

import clang.cindex

TARGETS = {"x86": "i686-w64-mingw32", "x64": "x86_64-w64-mingw32"}

# The kinds of value that cross the interface, by the header's own type names (the typedef
# as written, then its canonical C type). Each binding has one spelling per kind.
KINDS = {
    "int": "int32",
    "BOOL": "bool32",
    "DWORD": "uint32",
    "ULONG": "uint32",
    "USHORT": "uint16",
    "USAGE": "uint16",
    "HANDLE": "handle",
    "void *": "buffer",
    "const void *": "in_buffer",
    "const char *": "text",
    "char *": "text",
}


@dataclasses.dataclass
class Parameter:
    name: str
    kind: str


@dataclasses.dataclass
class Function:
    name: str
    result: str
    parameters: list
    brief: str

    def stack_bytes(self):
        """What the x86 export's stdcall decoration counts: every argument takes 4 bytes."""
        return 4 * len(self.parameters)


@dataclasses.dataclass
class Field:
    name: str
    kind: str
    count: int  # 1, or the length of an array field
    offset: dict  # architecture -> byte offset


@dataclasses.dataclass
class Record:
    name: str
    fields: list
    size: dict  # architecture -> bytes
    brief: str
    header: str = ""  # the platform header that declares it, for a platform record


# The platform's records that velmar.h only names, by their tag: each binding declares them
# as the platform header lays them out, under the platform's name. (mingw-w64's hidpi.h needs
# hidsdi.h's definitions before it, and hidsdi.h includes it.)
PLATFORM_RECORDS = {
    "_HIDP_CAPS": ("HIDP_CAPS", "hidsdi.h", "The platform's HIDP_CAPS (hidpi.h): a device's "
                   "report lengths, the report ID byte included, and its usages."),
}


@dataclasses.dataclass
class Api:
    functions: list
    records: list
    constants: dict  # name -> integer value

    def record(self, name):
        return next(record for record in self.records if record.name == name)


class UnknownType(Exception):
    pass


def _kind(type_, records):
    """The model's kind of a C type: one of KINDS, a record or a pointer to one."""
    for spelling in (type_.spelling, type_.get_canonical().spelling):
        if spelling in KINDS:
            return KINDS[spelling]
        if spelling in records:
            return "record:" + spelling
    pointee = type_.get_canonical().get_pointee()
    if type_.get_canonical().kind == clang.cindex.TypeKind.POINTER:
        declaration = pointee.get_declaration()
        if declaration.spelling in records:
            return "record_pointer:" + declaration.spelling
        if declaration.spelling in PLATFORM_RECORDS:
            return "record_pointer:" + PLATFORM_RECORDS[declaration.spelling][0]
    raise UnknownType(f"velmar.h uses the type '{type_.spelling}', which the bindings have no "
                      "kind for: add it to KINDS in bindings/header_model.py and to each "
                      "language's table")


def _translation_unit(header, architecture, unsaved_files=None):
    triple = TARGETS[architecture]
    # The compiler's own headers (stddef.h, the intrinsics that windows.h includes) are
    # where Debian's python3-clang-14 finds libclang.
    resource, = glob.glob("/usr/lib/llvm-14/lib/clang/*/")
    arguments = ["-x", "c", f"--target={triple}", "-resource-dir", resource,
                 "-isystem", f"/usr/{triple}/include", "-fparse-all-comments"]
    unit = clang.cindex.Index.create().parse(
        header, args=arguments,
        options=clang.cindex.TranslationUnit.PARSE_DETAILED_PROCESSING_RECORD
        | clang.cindex.TranslationUnit.PARSE_SKIP_FUNCTION_BODIES, unsaved_files=unsaved_files)
    errors = [str(d) for d in unit.diagnostics if d.severity >= clang.cindex.Diagnostic.Error]
    if errors:
        raise UnknownType("velmar.h does not parse for %s:\n%s" % (triple, "\n".join(errors)))
    return unit


def _own_declarations(unit, header):
    return [cursor for cursor in unit.cursor.get_children()
            if cursor.location.file and cursor.location.file.name == header]


def _brief(cursor):
    return " ".join((cursor.brief_comment or "").split())


def _constant(cursor):
    """The integer value of an object-like macro such as (-1) or 256, else None."""
    tokens = [token.spelling for token in cursor.get_tokens()][1:]
    text = "".join(tokens)
    try:
        return int(text.strip("()"), 0) if text and "(" not in text.strip("()") else None
    except ValueError:
        return None


def read(header):
    """The Api of velmar.h, with each record's layout for both architectures."""
    layouts = {}
    for architecture in TARGETS:
        unit = _translation_unit(header, architecture)
        layouts[architecture] = _own_declarations(unit, header)
    declarations = layouts["x86"]
    records = {c.spelling: c for c in declarations
               if c.kind == clang.cindex.CursorKind.STRUCT_DECL and c.is_definition()}
    api = Api(functions=[], records=[], constants={})
    for cursor in declarations:
        if cursor.kind == clang.cindex.CursorKind.FUNCTION_DECL:
            if "stdcall" not in cursor.type.spelling:
                raise UnknownType(f"{cursor.spelling} is not stdcall in the x86 build")
            parameters = [Parameter(a.spelling, _kind(a.type, records))
                          for a in cursor.get_arguments()]
            api.functions.append(Function(cursor.spelling, _kind(cursor.result_type, records),
                                          parameters, _brief(cursor)))
        elif cursor.kind == clang.cindex.CursorKind.MACRO_DEFINITION:
            if cursor.spelling.startswith("VELMAR_") and (value := _constant(cursor)) is not None:
                api.constants[cursor.spelling] = value
    for name, cursor in records.items():
        sized = {architecture: next(c for c in layouts[architecture]
                                    if c.kind == cursor.kind and c.spelling == name
                                    and c.is_definition()).type
                 for architecture in TARGETS}
        api.records.append(_record(name, sized, records, _brief(cursor)))
    for tag, (name, platform_header, brief) in PLATFORM_RECORDS.items():
        sized = {architecture: _platform_record(tag, platform_header, architecture)
                 for architecture in TARGETS}
        api.records.append(_record(name, sized, records, brief, platform_header))
    return api


def _platform_record(tag, header, architecture):
    """The type of the platform's record `tag`, as `header` declares it for `architecture`."""
    source = "platform_record.c"
    unit = _translation_unit(source, architecture,
                             [(source, f"#include <windows.h>\n#include <{header}>\n")])
    return next(c.type for c in unit.cursor.walk_preorder()
                if c.kind == clang.cindex.CursorKind.STRUCT_DECL and c.spelling == tag
                and c.is_definition())


def _record(name, sized, records, brief, platform_header=""):
    """The Record of a struct from its type on each architecture."""
    fields = []
    for field in sized["x86"].get_fields():
        count = 1
        type_ = field.type
        if type_.kind == clang.cindex.TypeKind.CONSTANTARRAY:
            count, type_ = type_.get_array_size(), type_.get_array_element_type()
        fields.append(Field(field.spelling, _kind(type_, records), count,
                            {a: sized[a].get_offset(field.spelling) // 8 for a in TARGETS}))
    return Record(name, fields, {a: sized[a].get_size() for a in TARGETS}, brief, platform_header)
