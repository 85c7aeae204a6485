"""Assembles the release folder and zip from a build folder.

    make_release.py --source SRC --build BUILD --version 1.2.0 --out DIR

Writes DIR/velmar-<version>-win32/ and DIR/velmar-<version>-win32.zip. The zip is
reproducible: entries in a fixed order, each dated 1980-01-01 with fixed permissions, so
two builds of one source give the same bytes.
"""
import argparse
import hashlib
import os
import shutil
import sys
import zipfile

ZIP_DATE = (1980, 1, 1, 0, 0, 0)


def contents(source, build):
    """(file in the release, file it comes from)"""
    return [
        ("README.md", None),  # written from the template with the version
        ("bin/Velmar.dll", f"{build}/dist/Velmar.dll"),
        ("bin/devcmd.exe", f"{build}/dist/devcmd.exe"),
        ("bin/ledsignal.exe", f"{build}/dist/ledsignal.exe"),
        ("bin/hidlist.exe", f"{build}/examples/hidlist.exe"),
        ("include/velmar.h", f"{source}/library/velmar.h"),
        ("lib/libVelmar.a", f"{build}/import_libraries/libVelmar.a"),
        ("lib/Velmar.lib", f"{build}/import_libraries/Velmar.lib"),
        ("lib/Velmar.def", f"{source}/library/Velmar.def"),
        ("examples/hidlist.c", f"{source}/examples/hidlist.c"),
        ("simulator/devsim.dll", f"{build}/simulated/devsim.dll"),
        ("simulator/hid.dll", f"{build}/simulated/hid.dll"),
        ("simulator/setupapi.dll", f"{build}/simulated/setupapi.dll"),
        ("simulator/devsim.h", f"{source}/device_simulator/include/devsim.h"),
        ("simulator/devsim.hpp", f"{source}/device_simulator/include/devsim.hpp"),
        ("simulator/libdevsim.a", f"{build}/device_simulator/libdevsim.dll.a"),
        ("simulator/README.md", f"{source}/device_simulator/README.md"),
        ("simulator/example-world.txt", f"{source}/release/example-world.txt"),
    ]


def examples_from_readme(readme):
    """The files that the README shows whole, each after a `<!-- file: NAME -->` line."""
    files, name, block = {}, None, None
    for line in readme.splitlines(keepends=True):
        if block is not None:
            if line.startswith("```"):
                files[name], name, block = "".join(block), None, None
            else:
                block.append(line)
        elif line.startswith("<!-- file: "):
            name = line[len("<!-- file: "):].split(" ")[0]
        elif name and line.startswith("```"):
            block = []
    return files


def write_text(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="\n") as file:
        file.write(text)


def main(argv):
    parser = argparse.ArgumentParser()
    for option in ("--source", "--build", "--version", "--out"):
        parser.add_argument(option, required=True)
    args = parser.parse_args(argv)
    name = f"velmar-{args.version}-win32"
    folder = os.path.join(args.out, name)
    shutil.rmtree(folder, ignore_errors=True)

    with open(f"{args.source}/release/README.md", encoding="utf-8") as file:
        readme = file.read().replace("@VERSION@", args.version)
    write_text(f"{folder}/README.md", readme)
    for example, text in examples_from_readme(readme).items():
        write_text(f"{folder}/examples/{example}", text)
    for target, origin in contents(args.source, args.build):
        if origin:
            os.makedirs(os.path.dirname(f"{folder}/{target}"), exist_ok=True)
            shutil.copyfile(origin, f"{folder}/{target}")

    files = sorted(os.path.relpath(os.path.join(top, leaf), folder).replace(os.sep, "/")
                   for top, _, leaves in os.walk(folder) for leaf in leaves)
    sums = "".join(f"{hashlib.sha256(open(f'{folder}/{f}', 'rb').read()).hexdigest()}  {f}\n"
                   for f in files)
    write_text(f"{folder}/SHA256SUMS", sums)
    files.append("SHA256SUMS")

    archive = os.path.join(args.out, name + ".zip")
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as zipped:
        for relative in sorted(files):
            entry = zipfile.ZipInfo(f"{name}/{relative}", ZIP_DATE)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.external_attr = 0o644 << 16
            with open(f"{folder}/{relative}", "rb") as file:
                zipped.writestr(entry, file.read())
    print(archive)
    for relative in sorted(files):
        print(f"  {os.path.getsize(f'{folder}/{relative}'):8d}  {relative}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
