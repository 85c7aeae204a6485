"""Checks one built deliverable without running it:
check_pe.py velmar|velmar_x64|devcmd|ledsignal <file>

Prints one line per check ("ok   ..." or "FAIL ...: found ..., expected ...") and exits
with 1 if any check failed, 2 on a wrong command line. What each deliverable must look
like is written down once, in expectations.py; pe_contents.py reads the file.
"""
import functools
import re
import sys
import xml.etree.ElementTree

import pefile

import pe_contents
from expectations import EXPECTED
from pe_contents import RT_MANIFEST, RT_VERSION, Unreadable

ASM = "{urn:schemas-microsoft-com:asm.v1}"


class Report:
    def __init__(self):
        self.failed = 0

    def check(self, what, found, expected, passed=None, detail=None):
        """One line; passes when found equals expected unless passed says otherwise."""
        if passed is None:
            passed = found == expected
        if passed:
            print("ok   " + what)
            return
        self.failed += 1
        print("FAIL %s: %s" % (what, detail or "found %s, expected %s" % (found, expected)))


def version_text(numbers):
    return ".".join(str(n) for n in numbers)


def check_headers(image, expected, report):
    header, optional = image.FILE_HEADER, image.OPTIONAL_HEADER
    machine = pefile.MACHINE_TYPE[expected.machine][len("IMAGE_FILE_MACHINE_"):]
    report.check("machine %s (%#x)" % (machine, expected.machine), hex(header.Machine),
                 hex(expected.machine))
    kind = {True: "a DLL", False: "a program"}
    report.check("a DLL" if expected.dll else "a program, not a DLL", kind[image.is_dll()],
                 kind[expected.dll])
    if expected.subsystem is not None:
        report.check("GUI subsystem (%d), no console" % expected.subsystem, optional.Subsystem,
                     expected.subsystem)
    wanted = version_text(expected.os_version)
    os_version = (optional.MajorOperatingSystemVersion, optional.MinorOperatingSystemVersion)
    report.check("OS version " + wanted, version_text(os_version), wanted)
    subsystem_version = (optional.MajorSubsystemVersion, optional.MinorSubsystemVersion)
    report.check("subsystem version " + wanted, version_text(subsystem_version), wanted)
    report.check("file header timestamp %d" % expected.timestamp, header.TimeDateStamp,
                 expected.timestamp)


def check_imports(image, expected, report):
    imports = pe_contents.imports(image)
    # Windows matches DLL names without regard to case; one DLL may have several entries.
    taken = {}
    for dll, functions in imports:
        taken.setdefault(dll.upper(), set()).update(functions)
    allowed = {dll.upper(): functions for dll, functions in expected.imports.items()}
    found = [dll for dll, _ in imports]
    report.check("imports only " + ", ".join(expected.imports), found,
                 "a subset of %s" % list(expected.imports),
                 passed=all(dll.upper() in allowed for dll in found))
    for dll in expected.never_imports:
        report.check("nothing of " + dll,
                     [name for name in found if name.upper() == dll.upper()], [])
    for dll, functions in expected.imports.items():
        used = taken.get(dll.upper(), set())
        if dll in expected.imports_exactly:
            report.check("%s imports exactly %s" % (dll, ", ".join(sorted(functions))),
                         sorted(used), sorted(functions))
        else:
            report.check("%s imports only functions from its list" % dll,
                         sorted(used - functions), [])


def check_exports(image, expected, report):
    dll_name, entries = pe_contents.exports(image) or (None, [])
    listed = [(e.ordinal, e.name) for e in entries]
    if not expected.exports:
        report.check("no exports", listed, [])
        return
    report.check("export directory names " + expected.export_dll_name, dll_name,
                 expected.export_dll_name)
    report.check("export names undecorated (no '@', no leading '_')",
                 [e.name for e in entries if e.name and ("@" in e.name or e.name[0] == "_")], [])
    wanted = list(enumerate(expected.exports, start=1))
    unexpected = [entry for entry in listed if entry not in wanted]
    missing = [entry for entry in wanted if entry not in listed]
    report.check("exactly the %d names at ordinals 1-%d in order" % (len(wanted), len(wanted)),
                 listed, wanted, detail="found %s, which are not expected; missing %s"
                 % (unexpected, missing))
    # Forwarders point into the export directory; they have a check of their own.
    outside_code = [e.name or "#%d" % e.ordinal for e in entries
                    if not e.forwarder and not pe_contents.executable(image, e.address)]
    report.check("every export points into an executable section", outside_code, [])
    report.check("no forwarded exports",
                 ["%s -> %s" % (e.name, e.forwarder) for e in entries if e.forwarder], [])


def check_version(image, expected, report):
    wanted = expected.version
    versions = [r for r in pe_contents.resources(image) if r.type == RT_VERSION]
    report.check("one RT_VERSION resource", len(versions), 1)
    if len(versions) != 1:
        return
    report.check("version resource language 0x%04X" % wanted.language, hex(versions[0].language),
                 hex(wanted.language))
    info = pe_contents.version_info(image)
    fixed = info.fixed

    def version(high, low):
        return version_text((high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF))

    report.check("file version " + version_text(wanted.file_version),
                 version(fixed.FileVersionMS, fixed.FileVersionLS),
                 version_text(wanted.file_version))
    report.check("product version " + version_text(wanted.product_version),
                 version(fixed.ProductVersionMS, fixed.ProductVersionLS),
                 version_text(wanted.product_version))
    report.check("dwFileOS 0x%08X" % wanted.file_os, "0x%08X" % fixed.FileOS,
                 "0x%08X" % wanted.file_os)
    report.check("dwFileType %d" % wanted.file_type, fixed.FileType, wanted.file_type)
    report.check("dwFileSubtype %d" % wanted.file_subtype, fixed.FileSubtype,
                 wanted.file_subtype)
    report.check("dwFileFlags %d" % wanted.file_flags, fixed.FileFlags, wanted.file_flags)
    report.check("one string table " + wanted.table,
                 [table.name for table in info.tables] + ["more"] * info.unread_tables,
                 [wanted.table])
    table = next((table for table in info.tables if table.name == wanted.table), None)
    strings = sorted(table.strings) if table else []
    count = table.count if table else 0
    report.check("exactly the %d version strings" % len(wanted.strings), strings,
                 sorted(wanted.strings.items()),
                 passed=strings == sorted(wanted.strings.items()) and count == len(strings),
                 detail="found %s in %d strings, expected %s"
                 % (strings, count, sorted(wanted.strings.items())))
    report.check("translation %s" % ", ".join("(0x%04X, %d)" % t for t in wanted.translations),
                 info.translations, wanted.translations,
                 passed=(info.translations == wanted.translations
                         and info.translation_pairs == len(info.translations)),
                 detail="found %s in %d pairs, expected %s" % (
                     info.translations, info.translation_pairs, wanted.translations))


def shape(element):
    """Tags, attribute names and text of an XML tree, without attribute values."""
    tag = element.tag[len(ASM):] if element.tag.startswith(ASM) else element.tag
    text = "".join(part.strip() for part in [element.text or ""] +
                   [child.tail or "" for child in element])
    result = tag
    if element.attrib:
        result += "[%s]" % ",".join(sorted(element.attrib))
    if text:
        result += repr(text)
    if len(element):
        result += "(%s)" % ",".join(shape(child) for child in element)
    return result


def check_manifest(image, expected, report):
    wanted = expected.manifest
    manifests = [r for r in pe_contents.resources(image) if r.type == RT_MANIFEST]
    report.check("one RT_MANIFEST resource, ID 1", [r.name for r in manifests], [1])
    if not manifests:
        return
    try:
        root = xml.etree.ElementTree.fromstring(pe_contents.resource_data(image, manifests[0]))
    except xml.etree.ElementTree.ParseError as error:
        report.check("manifest parses as XML", str(error), "well-formed XML", passed=False)
        return
    report.check("manifest parses as XML", None, None, passed=True)
    report.check("manifest is an asm.v1 assembly, manifestVersion 1.0",
                 (root.tag, root.get("manifestVersion")), (ASM + "assembly", "1.0"))
    identity = root.find(ASM + "assemblyIdentity")
    found = {} if identity is None else dict(identity.attrib)
    name = found.pop("name", None)
    report.check("identity %s, any name" % ", ".join(wanted.identity.values()), found,
                 wanted.identity, passed=found == wanted.identity and bool(name))
    dependencies = [d.attrib for d in root.iterfind(
        "%sdependency/%sdependentAssembly/%sassemblyIdentity" % (ASM, ASM, ASM))]
    report.check("depends only on " + ", ".join(
        "%(name)s %(version)s %(type)s %(processorArchitecture)s" % d
        for d in wanted.dependencies), dependencies, wanted.dependencies)
    report.check("manifest holds nothing else", shape(root), wanted.shape)


# What the i486 lacks: the Pentium's cmpxchg8b and rdtsc, the Pentium Pro's cmov, fcmov and
# fcomi families, and every MMX and SSE register.
NEWER_THAN_I486 = re.compile(r"^(cmov|fcmov|f(u)?comi|cmpxchg8b|rdtsc)|%x?mm\d")
# An instruction that only a function with a frame of its own holds: a call, or one that
# moves the stack pointer. On ARM64 a call (bl, blr) or a write of sp, directly or by a
# pre- or post-indexed store or load; a leaf that only branches on keeps its return address
# in the link register and needs no entry.
FRAME_WORK = {
    pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"]:
        re.compile(r"^(call|push|pop|enter|leave)|,%rsp$"),
    pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_ARM64"]:
        re.compile(r"^(bl|blr)\s|^\w+\s+sp,|\[sp(, #-?\w+)?\]!|\[sp\], #"),
}


def check_instructions(path, image, expected, report):
    newer = [f"{rva:#x}: {text}" for rva, text in pe_contents.disassembly(path, image)
             if NEWER_THAN_I486.search(text)]
    report.check("no instruction newer than the i486", len(newer), 0,
                 detail=f"{len(newer)} such, first {newer[:3]}")


def covered(rva, ranges):
    return any(begin <= rva < end for begin, end in ranges)


def check_unwind_data(path, image, expected, report):
    ranges = pe_contents.unwind_ranges(image)
    _, exported = pe_contents.exports(image) or (None, [])
    # On ARM64 an export that only branches on (a thunk) rightly has none; the check below
    # holds every export that does more to the rule.
    if image.FILE_HEADER.Machine != pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_ARM64"]:
        bare = [export.name for export in exported if not covered(export.address, ranges)]
        report.check("every export has unwind data", bare, [])
    frame_work = FRAME_WORK[image.FILE_HEADER.Machine]
    uncovered = [f"{rva:#x}: {text}" for rva, text in pe_contents.disassembly(path, image)
                 if frame_work.search(text) and not covered(rva, ranges)]
    report.check("every function that calls or moves the stack pointer has unwind data",
                 len(uncovered), 0, detail=f"{len(uncovered)} instructions outside "
                 f"the {len(ranges)} functions with unwind data, first {uncovered[:3]}")


def check(kind, path):
    """Runs every check of one kind on one file; returns the number that failed."""
    expected = EXPECTED[kind]
    report = Report()
    pe_format = "PE32+" if expected.pe_format == pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS else "PE32"
    try:
        image = pe_contents.load(path, expected.pe_format)
    except (OSError, pefile.PEFormatError) as error:
        report.check("a readable %s image" % pe_format, str(error), "a %s image" % pe_format,
                     passed=False)
        return report.failed
    report.check("a readable %s image" % pe_format, None, None, passed=True)
    groups = [("headers", check_headers), ("imports", check_imports),
              ("exports", check_exports)]
    if expected.version:
        groups.append(("version resource", check_version))
    if expected.manifest:
        groups.append(("manifest", check_manifest))
    if expected.i486_code:
        groups.append(("code", functools.partial(check_instructions, path)))
    if expected.unwind_data:
        groups.append(("unwind data", functools.partial(check_unwind_data, path)))
    for name, run in groups:
        # A damaged part of the image fails its own group; the other groups still run.
        try:
            run(image, expected, report)
        except (pefile.PEFormatError, Unreadable) as error:
            report.check("readable " + name, str(error), "a well-formed " + name, passed=False)
    return report.failed


def main(argv):
    if len(argv) != 3 or argv[1] not in EXPECTED:
        print("usage: check_pe.py %s <file>" % "|".join(EXPECTED), file=sys.stderr)
        return 2
    return 1 if check(argv[1], argv[2]) else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
