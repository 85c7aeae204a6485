"""What the checks read of a PE file, as pefile reads it.

pefile reads damaged parts leniently: what it leaves out or misreads then fails the checks
that look there. Where its reading of a version resource passes over something (it keeps
one string per key, only the last pair of a Translation value and only the first string
table of a StringFileInfo block), what it passed over is counted here, so that the checks
still see it.
"""
import re
import struct
import subprocess
from typing import NamedTuple, Optional, Union

import pefile

RT_VERSION = pefile.RESOURCE_TYPE["RT_VERSION"]
RT_MANIFEST = pefile.RESOURCE_TYPE["RT_MANIFEST"]
SECTION_EXECUTABLE = pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_MEM_EXECUTE"]
FIXED_FILE_INFO_SIGNATURE = 0xFEEF04BD
MACHINE_ARM64 = pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_ARM64"]
# The cross toolchains' objdump for each machine: binutils' for x86 and x64 (AT&T syntax),
# LLVM's for ARM64, which binutils does not know as a Windows machine.
OBJDUMP = {pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"]: "i686-w64-mingw32-objdump",
           pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"]: "x86_64-w64-mingw32-objdump",
           MACHINE_ARM64: "llvm-objdump-14"}
DIRECTORIES = [pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_" + name]
               for name in ("EXPORT", "IMPORT", "RESOURCE", "EXCEPTION")]


class Unreadable(Exception):
    """A part of the image that pefile could not make sense of."""


class Resource(NamedTuple):
    type: Union[int, str]
    name: Union[int, str]
    language: int
    entry: object  # pefile's data entry: where the resource's bytes lie


class Export(NamedTuple):
    ordinal: int
    name: Optional[str]       # None for an export by ordinal only
    address: int
    forwarder: Optional[str]  # "DLL.Function" when the export is forwarded


class StringTable(NamedTuple):
    name: str                 # "041904B0"
    strings: list             # [(key, value)], one per key
    count: int                # strings in the table, repeated keys included


class VersionInfo(NamedTuple):
    fixed: object             # pefile's VS_FIXEDFILEINFO
    tables: list              # [StringTable]
    unread_tables: bool       # a StringFileInfo block runs on past the tables read
    translations: list        # [(language, code page)], one per Translation value
    translation_pairs: int    # pairs in those values


def load(path, pe_format=pefile.OPTIONAL_HEADER_MAGIC_PE):
    """The image with its export, import, resource and exception directories read; raises
    OSError or pefile.PEFormatError for a file that is not an image of the format (PE32 by
    default, PE32+ with pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS, either with None)."""
    with open(path, "rb") as file:
        data = file.read()
    image = pefile.PE(data=data, fast_load=True)
    if pe_format is not None and image.OPTIONAL_HEADER.Magic != pe_format:
        raise pefile.PEFormatError("optional header magic %#x, not %#x"
                                   % (image.OPTIONAL_HEADER.Magic, pe_format))
    # pefile reads what is left of a cut-off file as if nothing were missing.
    if len(image.sections) != image.FILE_HEADER.NumberOfSections:
        raise pefile.PEFormatError("%d of %d section headers readable" % (
            len(image.sections), image.FILE_HEADER.NumberOfSections))
    for section in image.sections:
        if section.PointerToRawData + section.SizeOfRawData > len(data):
            raise pefile.PEFormatError("section %s runs past the end of the file"
                                       % text(section.Name.rstrip(b"\0")))
    image.parse_data_directories(directories=DIRECTORIES)
    return image


def disassembly(path, image):
    """Every instruction of the image's code as (RVA, text), by the objdump for its machine:
    the mnemonic and its operands (AT&T syntax on x86 and x64)."""
    objdump = OBJDUMP[image.FILE_HEADER.Machine]
    listing = subprocess.run([objdump, "-d", "--no-show-raw-insn", path],
                             capture_output=True, text=True, check=True).stdout
    base = image.OPTIONAL_HEADER.ImageBase
    return [(int(address, 16) - base, instruction.strip()) for address, instruction
            in re.findall(r"^ *([0-9a-f]+): *\t(.*)$", listing, re.M)]


def unwind_ranges(image):
    """The [begin, end) RVAs of the functions that the exception directory gives unwind
    data, in order."""
    if image.FILE_HEADER.Machine == MACHINE_ARM64:
        return sorted(_arm64_unwind_ranges(image))
    return sorted((entry.struct.BeginAddress, entry.struct.EndAddress)
                  for entry in getattr(image, "DIRECTORY_ENTRY_EXCEPTION", []))


def _arm64_unwind_ranges(image):
    """An ARM64 function entry is two words, which pefile does not read: the function's RVA,
    and either its packed unwind data (low bits 1 or 2; the length in words at bits 2-12)
    or the RVA of its .xdata record (low bits 0; the length in words at bits 0-17 of the
    record's first word)."""
    directory = image.OPTIONAL_HEADER.DATA_DIRECTORY[
        pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_EXCEPTION"]]
    if not directory.Size:
        return
    words = _words(image, directory.VirtualAddress, directory.Size // 4)
    for begin, unwind in zip(words[::2], words[1::2]):
        kind = unwind & 3
        if kind in (1, 2):
            length = (unwind >> 2) & 0x7FF
        elif kind == 0:
            length = _words(image, unwind, 1)[0] & 0x3FFFF
        else:
            raise Unreadable("function entry %#x: unwind data of kind 3" % begin)
        yield begin, begin + 4 * length


def _words(image, rva, count):
    data = image.get_data(rva, 4 * count)
    if len(data) != 4 * count:
        raise Unreadable("%d words at %#x run past the image" % (count, rva))
    return list(struct.unpack("<%dI" % count, data))


def text(raw):
    return raw.decode("ascii", "backslashreplace")


def imports(image):
    """[(dll, [function])] in the order of the import table; "#<ordinal>" for a function
    imported by ordinal."""
    return [(text(entry.dll), [text(f.name) if f.name else "#%d" % f.ordinal
                               for f in entry.imports])
            for entry in getattr(image, "DIRECTORY_ENTRY_IMPORT", [])]


def exports(image):
    """(dll name, [Export] by ordinal, one per name), or None when nothing is exported."""
    directory = getattr(image, "DIRECTORY_ENTRY_EXPORT", None)
    if directory is None:
        return None
    entries = [Export(e.ordinal, text(e.name) if e.name else None, e.address,
                      text(e.forwarder) if e.forwarder else None) for e in directory.symbols]
    return text(directory.name), sorted(entries, key=lambda e: e.ordinal)


def export_ordinals(path):
    """{name: ordinal} of what a DLL exports by name, PE32 or PE32+ alike: for the checks of
    other files (bindings, manual) against the DLL."""
    image = pefile.PE(path, fast_load=True)
    image.parse_data_directories(directories=DIRECTORIES)
    return {e.name: e.ordinal for e in (exports(image) or ("", []))[1] if e.name}


def executable(image, rva):
    section = image.get_section_by_rva(rva)
    return bool(section and section.Characteristics & SECTION_EXECUTABLE)


def resources(image):
    """[Resource] for every leaf of the type / name / language tree."""
    found = []
    root = getattr(image, "DIRECTORY_ENTRY_RESOURCE", None)
    for kind in root.entries if root else []:
        for name in _subdirectory(kind).entries:
            for language in _subdirectory(name).entries:
                where = "resource %s/%s/%s" % (_key(kind), _key(name), _key(language))
                if not hasattr(language, "data"):
                    raise Unreadable(where + " is a directory, not data")
                if language.id is None:
                    raise Unreadable(where + " has a name where a language belongs")
                found.append(Resource(_key(kind), _key(name), language.id, language.data))
    return found


def resource_data(image, resource):
    return image.get_data(resource.entry.struct.OffsetToData, resource.entry.struct.Size)


def version_info(image):
    """The version resource that pefile read while reading the resources."""
    fixed = getattr(image, "VS_FIXEDFILEINFO", [])
    if (len(fixed) != 1 or fixed[0].Signature != FIXED_FILE_INFO_SIGNATURE
            or image.VS_VERSIONINFO[0].ValueLength != fixed[0].sizeof()):
        raise Unreadable("no VS_FIXEDFILEINFO with its signature and size")
    tables, unread_tables, translations, pairs = [], False, [], 0
    for block in image.FileInfo[0] if image.FileInfo else []:
        read = getattr(block, "StringTable", [])
        tables += [StringTable(text(table.LangID), [
            (key.decode("utf-8"), value.decode("utf-8")) for key, value in table.entries.items()],
            _strings_in(image, table)) for table in read]
        unread_tables |= bool(read) and _end(block) != max(_end(table) for table in read)
        for var in getattr(block, "Var", []):
            translation = getattr(var, "entry", {}).get(b"Translation")
            if translation:
                translations.append(tuple(int(word, 16) for word in translation.split()))
                pairs += var.ValueLength // 4
    return VersionInfo(fixed[0], tables, unread_tables, translations, pairs)


def _subdirectory(entry):
    if not hasattr(entry, "directory"):
        raise Unreadable("resource entry %s is data, not a directory" % _key(entry))
    return entry.directory


def _key(entry):
    return entry.id if entry.name is None else str(entry.name)


def _end(structure):
    return structure.get_file_offset() + structure.Length


def _strings_in(image, table):
    """Every String structure that pefile read inside the table."""
    return sum(1 for structure in image.__structures__ if structure.name == "String"
               and table.get_file_offset() < structure.get_file_offset() < _end(table))
