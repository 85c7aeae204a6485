"""The table of image_change.sh: for each shipped image of two build folders (before/ and
after/, each with win32/ and win64/ trees), its size in both, the bytes that differ, and what
the PE checks read in its code.
    image_change.py BEFORE AFTER
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "pe_files"))
import check_pe  # noqa: E402
import pe_contents  # noqa: E402

IMAGES = ["win32/dist/Velmar.dll", "win32/dist/devcmd.exe", "win32/dist/ledsignal.exe",
          "win64/dist/Velmar.dll"]


def code(path):
    """What the checks read: an x86 image's instructions newer than the i486, a 64-bit image's
    functions with unwind data."""
    image = pe_contents.load(path, pe_format=None)
    if image.OPTIONAL_HEADER.Magic == pe_contents.pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS:
        return f"{len(pe_contents.unwind_ranges(image))} functions with unwind data"
    newer = sum(1 for _, text in pe_contents.disassembly(path, image)
                if check_pe.NEWER_THAN_I486.search(text))
    return f"{newer} instructions newer than the i486"


def main(before, after):
    print(f"{'image':<26} {'before':>7} {'after':>7} {'differ':>7}  code before -> after")
    for name in IMAGES:
        old, new = os.path.join(before, name), os.path.join(after, name)
        with open(old, "rb") as file:
            old_bytes = file.read()
        with open(new, "rb") as file:
            new_bytes = file.read()
        differing = sum(a != b for a, b in zip(old_bytes, new_bytes))
        differing += abs(len(old_bytes) - len(new_bytes))
        print(f"{name:<26} {len(old_bytes):>7} {len(new_bytes):>7} {differing:>7}  "
              f"{code(old)} -> {code(new)}")


if __name__ == "__main__":
    main(*sys.argv[1:])
