"""A small reader of 32-bit PE images: headers, exports, imports and resources.

Only what the deliverables' checks need, read strictly: a malformed image raises
PeError instead of yielding half-read values.
"""
import struct
import xml.etree.ElementTree

RT_VERSION = 16
RT_MANIFEST = 24


class PeError(Exception):
    pass


class PeImage:
    def __init__(self, data):
        self.data = data
        if self._u16(0) != 0x5A4D:
            raise PeError("no MZ header")
        pe = self._u32(0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise PeError("no PE signature")
        (self.machine, sections, self.timestamp, _, _, optional_size,
         self.characteristics) = self._record("<HHIIIHH", pe + 4)
        optional = pe + 24
        if self._u16(optional) != 0x10B:
            raise PeError("not a PE32 image")
        self.entry_point = self._u32(optional + 16)
        self.major_os_version, self.minor_os_version = self._record("<HH", optional + 40)
        self.major_subsystem_version, self.minor_subsystem_version = self._record(
            "<HH", optional + 48)
        self.subsystem, self.dll_characteristics = self._record("<HH", optional + 68)
        directory_count = self._u32(optional + 92)
        self.directories = [self._record("<II", optional + 96 + 8 * i)
                            for i in range(min(directory_count, 16))]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            name, virtual_size, address, raw_size, raw_offset = self._record(
                "<8sIIII", table + 40 * i)
            characteristics = self._u32(table + 40 * i + 36)
            self.sections.append((name.rstrip(b"\0").decode("ascii", "replace"), address,
                                  max(virtual_size, raw_size), raw_offset, raw_size,
                                  characteristics))

    @classmethod
    def load(cls, path):
        with open(path, "rb") as file:
            return cls(file.read())

    @property
    def is_dll(self):
        return bool(self.characteristics & 0x2000)

    def _u16(self, offset):
        return self._unpack("<H", offset)

    def _u32(self, offset):
        return self._unpack("<I", offset)

    def _unpack(self, form, offset):
        return self._record(form, offset)[0]

    def _record(self, form, offset):
        if offset < 0 or offset + struct.calcsize(form) > len(self.data):
            raise PeError("read past the end of the file at %#x" % offset)
        return struct.unpack_from(form, self.data, offset)

    def section_of(self, rva):
        for section in self.sections:
            if section[1] <= rva < section[1] + section[2]:
                return section
        return None

    def offset(self, rva):
        section = self.section_of(rva)
        if section is None or rva - section[1] >= section[4]:
            raise PeError("address %#x lies in no section's file data" % rva)
        return section[3] + rva - section[1]

    def string(self, rva, limit=4096):
        start = self.offset(rva)
        end = self.data.find(b"\0", start, start + limit)
        if end < 0:
            raise PeError("unterminated string at %#x" % rva)
        return self.data[start:end].decode("latin-1")

    def is_executable(self, rva):
        section = self.section_of(rva)
        return section is not None and bool(section[5] & 0x20000000)

    def exports(self):
        """(dll name, [(ordinal, name or None, rva, forwarder or None)])"""
        rva, size = self.directories[0]
        if not rva:
            return None, []
        base = self.offset(rva)
        name_rva, ordinal_base, functions, names, functions_rva, names_rva, ordinals_rva = (
            self._record("<12xIIIIIII", base))
        if functions > 65536 or names > functions:
            raise PeError("implausible export counts")
        named = {}
        for i in range(names):
            index = self._u16(self.offset(ordinals_rva) + 2 * i)
            named[index] = self.string(self._u32(self.offset(names_rva) + 4 * i))
        entries = []
        for index in range(functions):
            address = self._u32(self.offset(functions_rva) + 4 * index)
            if not address:
                continue
            forwarder = self.string(address) if rva <= address < rva + size else None
            entries.append((ordinal_base + index, named.get(index), address, forwarder))
        return self.string(name_rva), entries

    def imports(self):
        """[(dll name, [function name or '#ordinal'])] in the order of the import table"""
        rva, _ = self.directories[1]
        result = []
        if not rva:
            return result
        descriptor = self.offset(rva)
        for _ in range(4096):
            lookup, _, _, name_rva, thunks = self._record("<IIIII", descriptor)
            if not name_rva:
                return result
            functions = []
            thunk = self.offset(lookup or thunks)
            for _ in range(65536):
                value = self._u32(thunk)
                if not value:
                    break
                functions.append("#%d" % (value & 0xFFFF) if value & 0x80000000
                                 else self.string(value + 2))
                thunk += 4
            result.append((self.string(name_rva), functions))
            descriptor += 20
        raise PeError("import table does not end")

    def resources(self):
        """[(type, name, language, bytes)] with ids as ints and names as strings"""
        rva, _ = self.directories[2] if len(self.directories) > 2 else (0, 0)
        if not rva:
            return []
        root = self.offset(rva)
        found = []

        def entries(directory):
            named, ids = self._record("<HH", directory + 12)
            for i in range(named + ids):
                key, target = self._record("<II", directory + 16 + 8 * i)
                if key & 0x80000000:
                    name_at = root + (key & 0x7FFFFFFF)
                    length = self._u16(name_at)
                    key = self.data[name_at + 2:name_at + 2 + 2 * length].decode("utf-16-le")
                yield key, target

        for type_id, type_target in entries(root):
            for name, name_target in entries(root + (type_target & 0x7FFFFFFF)):
                for language, leaf in entries(root + (name_target & 0x7FFFFFFF)):
                    if leaf & 0x80000000:
                        raise PeError("resource tree deeper than three levels")
                    data_rva, size = self._record("<II", root + leaf)
                    start = self.offset(data_rva)
                    found.append((type_id, name, language, self.data[start:start + size]))
        return found


def parse_version_info(block):
    """VS_VERSIONINFO -> (fixed info dict, {table key: {name: value}}, [translations])"""
    def node(offset):
        length, value_length, kind = struct.unpack_from("<HHH", block, offset)
        if length < 6 or offset + length > len(block):
            raise PeError("bad version block at %#x" % offset)
        end = block.index(b"\0\0", offset + 6)
        while (end - offset - 6) % 2:
            end = block.index(b"\0\0", end + 1)
        key = block[offset + 6:end].decode("utf-16-le")
        value_at = (end + 2 + 3) & ~3
        value_size = value_length * 2 if kind == 1 else value_length
        children_at = (value_at + value_size + 3) & ~3
        children = []
        child = children_at
        while child < offset + length:
            children.append(node(child))
            child = (child + children[-1]["length"] + 3) & ~3
        return {"key": key, "length": length, "kind": kind,
                "value": block[value_at:value_at + value_size], "children": children}

    root = node(0)
    if root["key"] != "VS_VERSION_INFO":
        raise PeError("not a version resource")
    fields = struct.unpack("<13I", root["value"][:52])
    if fields[0] != 0xFEEF04BD:
        raise PeError("bad VS_FIXEDFILEINFO signature")
    fixed = {
        "file_version": (fields[2] >> 16, fields[2] & 0xFFFF, fields[3] >> 16, fields[3] & 0xFFFF),
        "product_version": (fields[4] >> 16, fields[4] & 0xFFFF, fields[5] >> 16, fields[5] & 0xFFFF),
        "flags_mask": fields[6], "flags": fields[7], "os": fields[8], "type": fields[9],
        "subtype": fields[10],
    }
    tables, translations = {}, []
    for child in root["children"]:
        if child["key"] == "StringFileInfo":
            for table in child["children"]:
                tables[table["key"]] = {
                    entry["key"]: entry["value"].decode("utf-16-le").rstrip("\0")
                    for entry in table["children"]}
        elif child["key"] == "VarFileInfo":
            for var in child["children"]:
                value = var["value"]
                translations += [struct.unpack_from("<HH", value, i)
                                 for i in range(0, len(value) - 3, 4)]
    return fixed, tables, translations


def parse_manifest(text):
    return xml.etree.ElementTree.fromstring(text)
