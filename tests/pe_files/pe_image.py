"""A small, strict reader of 32-bit PE images.

It reads what the checks of the deliverables look at: the headers, the sections, the
export and import directories, the resource tree, version resources and manifests.
Every read is bounds-checked and every walk has a fixed depth or ends at the end of the
data it walks, so a damaged file raises PeError instead of yielding half-read values,
another exception, or a loop that never ends.
"""
import struct
import xml.etree.ElementTree
from typing import NamedTuple, Optional, Union

MACHINE_I386 = 0x14C
PE32_MAGIC = 0x10B
PE32_PLUS_MAGIC = 0x20B
IMAGE_FILE_DLL = 0x2000
SECTION_EXECUTABLE = 0x20000000
SUBSYSTEM_WINDOWS_GUI = 2

RT_VERSION = 16
RT_MANIFEST = 24

EXPORT_DIRECTORY, IMPORT_DIRECTORY, RESOURCE_DIRECTORY = 0, 1, 2
IMPORT_BY_ORDINAL = 0x80000000
RESOURCE_SUBDIRECTORY = 0x80000000
RESOURCE_NAMED = 0x80000000
# A real image holds far fewer; the cap keeps a tree whose directories share their
# entries from multiplying into millions of leaves.
MAX_RESOURCES = 65536


class PeError(Exception):
    """The data is not a PE32 image this reader can read, or it is damaged."""


class Section(NamedTuple):
    name: str
    virtual_address: int
    virtual_size: int
    raw_offset: int
    raw_size: int
    characteristics: int

    @property
    def executable(self):
        return bool(self.characteristics & SECTION_EXECUTABLE)

    def holds(self, rva):
        return self.virtual_address <= rva < self.virtual_address + max(self.virtual_size,
                                                                         self.raw_size)


class Export(NamedTuple):
    ordinal: int
    name: Optional[str]       # None for an export by ordinal only
    rva: int
    forwarder: Optional[str]  # "DLL.Function" when the export is forwarded


class Exports(NamedTuple):
    dll_name: str
    ordinal_base: int
    entries: list             # [Export], by ordinal; one entry per name


class Import(NamedTuple):
    dll: str
    functions: list           # names, or "#<ordinal>" for imports by ordinal


class Resource(NamedTuple):
    type: Union[int, str]
    name: Union[int, str]
    language: int
    data: bytes


class FixedFileInfo(NamedTuple):
    file_version: tuple       # (major, minor, build, revision)
    product_version: tuple
    flags_mask: int
    flags: int
    os: int
    type: int
    subtype: int


class VersionInfo(NamedTuple):
    fixed: FixedFileInfo
    string_tables: dict       # {"041904B0": [(key, value), ...]} in file order
    translations: list        # [(language, code page)]


class PeImage:
    def __init__(self, data):
        self.data = bytes(data)
        if self.data[:2] != b"MZ":
            raise PeError("no MZ header")
        pe = self._unpack("<I", 0x3C)[0]
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise PeError("no PE signature at %#x" % pe)
        (self.machine, section_count, self.timestamp, _, _, optional_size,
         self.characteristics) = self._unpack("<HHIIIHH", pe + 4)
        optional = pe + 24
        self.magic = self._unpack("<H", optional)[0]
        if self.magic == PE32_PLUS_MAGIC:
            raise PeError("a PE32+ (64-bit) image, not PE32")
        if self.magic != PE32_MAGIC:
            raise PeError("unknown optional header magic %#x" % self.magic)
        if optional_size < 96:
            raise PeError("optional header of %d bytes is too short" % optional_size)
        self.entry_point = self._unpack("<I", optional + 16)[0]
        self.os_version = self._unpack("<HH", optional + 40)
        self.subsystem_version = self._unpack("<HH", optional + 48)
        self.subsystem, self.dll_characteristics = self._unpack("<HH", optional + 68)
        declared = self._unpack("<I", optional + 92)[0]
        # Only the directories that fit in the optional header exist, whatever the count says.
        count = min(declared, (optional_size - 96) // 8, 16)
        self.directories = [self._unpack("<II", optional + 96 + 8 * i) for i in range(count)]
        table = optional + optional_size
        self.sections = []
        for i in range(section_count):
            name, virtual_size, address, raw_size, raw_offset = self._unpack(
                "<8sIIII", table + 40 * i)
            characteristics = self._unpack("<I", table + 40 * i + 36)[0]
            if raw_offset + raw_size > len(self.data):
                raise PeError("section %d runs past the end of the file" % i)
            self.sections.append(Section(name.rstrip(b"\0").decode("ascii", "replace"),
                                         address, virtual_size, raw_offset, raw_size,
                                         characteristics))

    @classmethod
    def load(cls, path):
        with open(path, "rb") as file:
            return cls(file.read())

    @property
    def is_dll(self):
        return bool(self.characteristics & IMAGE_FILE_DLL)

    def section_at(self, rva):
        return next((section for section in self.sections if section.holds(rva)), None)

    def read(self, rva, size):
        """The bytes at rva; they must lie within the file data of one section."""
        if size == 0:
            return b""
        section = self.section_at(rva)
        if section is None or rva + size > section.virtual_address + section.raw_size:
            raise PeError("%d bytes at address %#x lie outside every section's file data"
                          % (size, rva))
        start = section.raw_offset + rva - section.virtual_address
        return self.data[start:start + size]

    def read_struct(self, form, rva):
        return struct.unpack(form, self.read(rva, struct.calcsize(form)))

    def read_string(self, rva):
        """A NUL-terminated ASCII string; it may not run past the end of its section."""
        section = self.section_at(rva)
        if section is None:
            raise PeError("string at %#x lies in no section" % rva)
        start = section.raw_offset + rva - section.virtual_address
        end = self.data.find(b"\0", start, section.raw_offset + section.raw_size)
        if end < 0:
            raise PeError("string at %#x has no terminator in its section" % rva)
        return self.data[start:end].decode("ascii", "backslashreplace")

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def exports(self):
        """The export directory, or None when the image exports nothing."""
        rva, size = self.directory(EXPORT_DIRECTORY)
        if not rva:
            return None
        (name_rva, base, function_count, name_count, functions_rva, names_rva,
         ordinals_rva) = self.read_struct("<12xIIIIIII", rva)
        # Reading the whole arrays up front bounds both counts by the section sizes.
        functions = struct.unpack("<%dI" % function_count,
                                  self.read(functions_rva, 4 * function_count))
        name_rvas = struct.unpack("<%dI" % name_count, self.read(names_rva, 4 * name_count))
        indexes = struct.unpack("<%dH" % name_count, self.read(ordinals_rva, 2 * name_count))
        names = {}
        for index, name_rva_of_export in zip(indexes, name_rvas):
            if index >= function_count or not functions[index]:
                raise PeError("an export name points to function slot %d, which is empty"
                              % index)
            names.setdefault(index, []).append(self.read_string(name_rva_of_export))
        entries = []
        for index, address in enumerate(functions):
            if not address:
                continue
            # An address inside the export directory is the text of a forwarder.
            forwarder = self.read_string(address) if rva <= address < rva + size else None
            for name in names.get(index, [None]):
                entries.append(Export(base + index, name, address, forwarder))
        return Exports(self.read_string(name_rva), base, entries)

    def imports(self):
        """[Import] in the order of the import table."""
        rva, _ = self.directory(IMPORT_DIRECTORY)
        result = []
        if not rva:
            return result
        # Each step reads further into the section; a table without its closing
        # descriptor ends in a PeError at the section's end.
        descriptor = rva
        while True:
            lookup, _, _, name_rva, thunks = self.read_struct("<IIIII", descriptor)
            if not (lookup or name_rva or thunks):
                return result
            functions = []
            thunk = lookup or thunks
            while True:
                value = self.read_struct("<I", thunk)[0]
                if not value:
                    break
                if value & IMPORT_BY_ORDINAL:
                    functions.append("#%d" % (value & 0xFFFF))
                else:
                    functions.append(self.read_string(value + 2))  # after the hint
                thunk += 4
            result.append(Import(self.read_string(name_rva), functions))
            descriptor += 20

    def resources(self):
        """[Resource] for every leaf of the type / name / language tree."""
        root, _ = self.directory(RESOURCE_DIRECTORY)
        if not root:
            return []
        found = []
        for type_id, types in self._resource_entries(root, root, subdirectories=True):
            for name, names in self._resource_entries(root, types, subdirectories=True):
                for language, leaf in self._resource_entries(root, names,
                                                             subdirectories=False):
                    data_rva, size = self.read_struct("<II", leaf)
                    if len(found) == MAX_RESOURCES:
                        raise PeError("more than %d resources" % MAX_RESOURCES)
                    found.append(Resource(type_id, name, language, self.read(data_rva, size)))
        return found

    def _resource_entries(self, root, directory, subdirectories):
        """(id or name, address of the child) for each entry of one directory; the tree
        has three levels, so every entry above the last must lead to a directory and
        every entry of the last to data: the walk cannot go round in circles."""
        named, ids = self.read_struct("<12xHH", directory)
        for i in range(named + ids):
            key, target = self.read_struct("<II", directory + 16 + 8 * i)
            if bool(target & RESOURCE_SUBDIRECTORY) != subdirectories:
                raise PeError("resource entry at %#x: expected %s" % (
                    directory + 16 + 8 * i, "a directory" if subdirectories else "data"))
            if key & RESOURCE_NAMED:
                name_at = root + (key & ~RESOURCE_NAMED)
                length = self.read_struct("<H", name_at)[0]
                key = _utf16(self.read(name_at + 2, 2 * length), "resource name")
            yield key, root + (target & ~RESOURCE_SUBDIRECTORY)

    def _unpack(self, form, offset):
        """A record at a file offset (headers come before any section)."""
        if offset + struct.calcsize(form) > len(self.data):
            raise PeError("file ends before the header field at %#x" % offset)
        return struct.unpack_from(form, self.data, offset)


def _utf16(raw, what):
    try:
        return raw.decode("utf-16-le")
    except UnicodeDecodeError as error:
        raise PeError("%s is not UTF-16: %s" % (what, error)) from None


def _align4(offset):
    return (offset + 3) & ~3


class _VersionNode(NamedTuple):
    key: str
    value: bytes
    is_text: bool
    children: list


# VS_VERSIONINFO > StringFileInfo > string table > string is the deepest nesting.
_VERSION_DEPTH = 3


def _version_node(block, offset, end, depth):
    """One node (wLength, wValueLength, wType, key, value, children) of a version
    block. Offsets are from the start of the block, which the format aligns to 4."""
    if offset + 6 > end:
        raise PeError("version node at %#x runs past its parent" % offset)
    length, value_length, kind = struct.unpack_from("<HHH", block, offset)
    node_end = offset + length
    if length < 6 or node_end > end:
        raise PeError("version node at %#x has a bad length %d" % (offset, length))
    key_end = offset + 6
    while True:
        if key_end + 2 > node_end:
            raise PeError("version node at %#x has an unterminated key" % offset)
        if block[key_end:key_end + 2] == b"\0\0":
            break
        key_end += 2
    key = _utf16(block[offset + 6:key_end], "version key")
    value_at = _align4(key_end + 2)
    # Text values count UTF-16 units, binary values bytes.
    value_size = 2 * value_length if kind == 1 else value_length
    if value_at + value_size > node_end:
        raise PeError("value of version node %r runs past the node" % key)
    children = []
    child = _align4(value_at + value_size)
    while child < node_end:
        if depth == _VERSION_DEPTH:
            raise PeError("version node %r is nested too deeply" % key)
        children.append(_version_node(block, child, node_end, depth + 1))
        child = _align4(child + struct.unpack_from("<H", block, child)[0])
    return _VersionNode(key, block[value_at:value_at + value_size], kind == 1, children)


def _text(node):
    value = _utf16(node.value, "version string %r" % node.key)
    return value.split("\0", 1)[0]


def parse_version_info(block):
    """A VS_VERSIONINFO resource -> VersionInfo."""
    root = _version_node(block, 0, len(block), 0)
    if root.key != "VS_VERSION_INFO":
        raise PeError("a version resource starts with %r, not VS_VERSION_INFO" % root.key)
    if len(root.value) != 52:
        raise PeError("VS_FIXEDFILEINFO is %d bytes, not 52" % len(root.value))
    fields = struct.unpack("<13I", root.value)
    if fields[0] != 0xFEEF04BD:
        raise PeError("VS_FIXEDFILEINFO signature is %#x" % fields[0])

    def version(high, low):
        return (high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF)

    fixed = FixedFileInfo(version(fields[2], fields[3]), version(fields[4], fields[5]),
                          *fields[6:11])
    tables, translations = {}, []
    for child in root.children:
        if child.key == "StringFileInfo":
            for table in child.children:
                if table.key in tables:
                    raise PeError("string table %s appears twice" % table.key)
                tables[table.key] = [(entry.key, _text(entry)) for entry in table.children]
        elif child.key == "VarFileInfo":
            for var in child.children:
                if var.key == "Translation":
                    pairs = len(var.value) // 4
                    translations += [struct.unpack_from("<HH", var.value, 4 * i)
                                     for i in range(pairs)]
    return VersionInfo(fixed, tables, translations)


def parse_manifest(data):
    """The root element of a manifest resource."""
    try:
        return xml.etree.ElementTree.fromstring(data)
    except xml.etree.ElementTree.ParseError as error:
        raise PeError("the manifest is not well-formed XML: %s" % error) from None
