"""The machine set-up without the network: stand-ins for apt-get, dpkg, dpkg-deb, dpkg-query,
locale, sleep and sudo on the PATH play the mirror's and the system's part and journal what
the set-up asked of them. The set-up runs from a copy of its scripts in which the Free
Pascal build, the ARM64 runtime's build and the fetches are stand-ins too; the fetches' own
script runs as it is (for the .NET runtime that lands, from a copy whose pinned SHA-512s are
the stand-in packages'), into a cache of the test's own."""

import hashlib
import io
import os
import re
import shutil
import subprocess
import tarfile
import tempfile
import unittest
from pathlib import Path

SCRIPTS = Path(__file__).resolve().parents[2] / "scripts"
# The archive that the stand-in's apt configuration names: a placeholder, never reached.
ARCHIVE = "http://mirror.example/debian"
I386_SECURITY = "http://mirror.example/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz"
AMD64_UPDATES = f"{ARCHIVE}/dists/bookworm-updates/main/binary-amd64/Packages.xz"
UNREACHABLE = f"E: Failed to fetch {ARCHIVE}/dists/bookworm/InRelease  Could not resolve 'mirror.example'"

# apt-get as the mirror served it. For the system: `update` fails on the index
# $FAKE_BROKEN_INDEX for the first $FAKE_UPDATE_FAILURES calls; `install` fails as
# unresolvable without `-t` where $FAKE_INSTALL is "needs-target-release", always where it
# is "broken". `--print-uris update` names $FAKE_ARCHIVE's suites, or none where it is empty.
# With a private state (-o Dir::Etc::SourceList=...), its sources list is journaled; its
# `update` fails as unreachable where $FAKE_PRIVATE is "unreachable"; `source` and
# `download` copy the files of $FAKE_SERVED into the working folder, `install` (only ever
# --download-only there) into its cache's archives.
APT_GET = r"""#!/bin/bash
verb="" sources="" cache=""
for argument in "$@"; do
  case $argument in
  Dir::Etc::SourceList=*) sources=${argument#*=} ;;
  Dir::Cache=*) cache=${argument#*=} ;;
  -*|*=*|*::*) ;;
  *) [ -n "$verb" ] || verb=$argument ;;
  esac
done
if [ " $* " = " --print-uris update " ]; then
  [ -z "$FAKE_ARCHIVE" ] || echo "'$FAKE_ARCHIVE/dists/bookworm/InRelease' x_InRelease 0 "
  exit 0
fi
if [ -n "$sources" ]; then
  echo "private apt-get $verb: $(cat "$sources")" >>"$FAKE_JOURNAL"
  case $verb/$FAKE_PRIVATE in
  update/unreachable)
    echo "E: Failed to fetch $FAKE_ARCHIVE/dists/bookworm/InRelease  Could not resolve 'mirror.example'" >&2
    exit 100 ;;
  source/*|download/*) cp "$FAKE_SERVED"/* . ;;
  install/*) cp "$FAKE_SERVED"/* "$cache/archives/" ;;
  esac
  exit 0
fi
echo "apt-get $*" >>"$FAKE_JOURNAL"
case $verb in
update)
  count=$(grep -c '^apt-get .*update' "$FAKE_JOURNAL")
  if [ "$count" -le "$FAKE_UPDATE_FAILURES" ]; then
    echo "E: Failed to fetch $FAKE_BROKEN_INDEX  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]" >&2
    echo "   Hashes of expected file:" >&2
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
    exit 100
  fi ;;
install)
  case "$FAKE_INSTALL $*" in
  "needs-target-release "*" -t "*|ok*) ;;
  *)
    echo " zlib1g:i386 : Depends: libc6:i386 but it is not going to be installed" >&2
    echo "E: Unable to correct problems, you have held broken packages." >&2
    exit 100 ;;
  esac ;;
esac
"""
# The parts of the set-up that build or fetch, journaling their calls; $FAKE_FAILS fails.
JOURNALING = '#!/bin/bash\necho "{name}" >>"$FAKE_JOURNAL"\n[ "$FAKE_FAILS" != {name} ] || {{ echo "setup: cannot" >&2; exit 1; }}\n'
# curl as the npm registry served it: the file of $FAKE_SERVED named as the address ends,
# copied to --output; unreachable where $FAKE_PRIVATE says so.
CURL = r"""#!/bin/bash
address=${@: -1} output=""
while [ $# -gt 1 ]; do
  [ "$1" != --output ] || output=$2
  shift
done
echo "curl $address" >>"$FAKE_JOURNAL"
if [ "$FAKE_PRIVATE" = unreachable ]; then
  echo "curl: (6) Could not resolve host: registry.npmjs.org" >&2
  exit 6
fi
cp "$FAKE_SERVED/${address##*/}" "$output"
"""

STAND_INS = {
    "apt-get": APT_GET,
    "curl": CURL,
    "dpkg-query": '#!/bin/bash\n[[ " $FAKE_MISSING " == *" ${@: -1} "* ]] || printf "install ok installed"\n',
    "dpkg": '#!/bin/bash\necho "dpkg $*" >>"$FAKE_JOURNAL"\n[ "$1" != --print-foreign-architectures ] || echo "${FAKE_FOREIGN-i386}"\n',
    "locale": "#!/bin/bash\necho ru_RU.utf8\n",
    "sleep": '#!/bin/bash\necho "sleep $1" >>"$FAKE_JOURNAL"\n',
    "sudo": '#!/bin/bash\nexec "$@"\n',
}
SETUP_SCRIPTS = ("setup.sh", "apt_install.sh", "apt_retries.sh")
# The set-up's scripts that build or fetch into the cache, in the order it runs them.
BUILDS_AND_FETCHES = ("free_pascal.sh", "arm64_runtime.sh", "fetch.sh")


class StandIns:
    """A scratch folder with the stand-ins on the PATH, a journal and a cache."""

    def __init__(self, test):
        self.folder = Path(test.enterContext(tempfile.TemporaryDirectory()))
        (self.folder / "bin").mkdir()
        for name, text in STAND_INS.items():
            write_program(self.folder / "bin" / name, text)
        self.journal = self.folder / "journal"
        self.journal.touch()
        self.cache = self.folder / "cache"

    def run(self, command, **environment):
        defaults = dict(FAKE_ARCHIVE=ARCHIVE, FAKE_MISSING="wine32:i386", FAKE_UPDATE_FAILURES="0",
                        FAKE_BROKEN_INDEX=I386_SECURITY, FAKE_INSTALL="ok", FAKE_PRIVATE="",
                        FAKE_SERVED="", FAKE_FAILS="")
        return subprocess.run(
            ["bash", *map(str, command)], capture_output=True, text=True, timeout=60,
            stdin=subprocess.DEVNULL,
            env=dict(os.environ, PATH=f"{self.folder / 'bin'}:{os.environ['PATH']}",
                     FAKE_JOURNAL=str(self.journal), VELMAR_CACHE_DIR=str(self.cache),
                     **{**defaults, **environment}))

    def lines(self):
        return self.journal.read_text().splitlines()


def write_program(path, text):
    path.write_text(text)
    path.chmod(0o755)


class SetupAgainstAMirrorMidSync(unittest.TestCase):
    def run_setup(self, missing="wine32:i386", update_failures=0, broken_index=I386_SECURITY,
                  install="ok", **environment):
        """Runs the set-up with the stand-ins; returns its result and the journal's lines."""
        stand_ins = StandIns(self)
        scripts = stand_ins.folder / "scripts"
        scripts.mkdir()
        for name in SETUP_SCRIPTS:
            shutil.copy(SCRIPTS / name, scripts)
        for name in BUILDS_AND_FETCHES:
            write_program(scripts / name, JOURNALING.format(name=name))
        result = stand_ins.run([scripts / "setup.sh"], FAKE_MISSING=missing,
                               FAKE_UPDATE_FAILURES=str(update_failures),
                               FAKE_BROKEN_INDEX=broken_index, FAKE_INSTALL=install, **environment)
        return result, stand_ins.lines()

    def installs(self, journal):
        return [line for line in journal if line.startswith("apt-get install")]

    def pauses(self, journal):
        return [int(line.split()[1]) for line in journal if line.startswith("sleep")]

    def test_does_nothing_and_says_nothing_when_everything_is_in_place(self):
        result, journal = self.run_setup(missing="")
        self.assertEqual((result.returncode, result.stdout, result.stderr), (0, "", ""))
        self.assertEqual(journal, ["dpkg --print-foreign-architectures", *BUILDS_AND_FETCHES])

    def test_goes_on_without_what_only_the_tests_need(self):
        # Each case: the script that fails, and what the set-up says it goes on without.
        cases = [("arm64_runtime.sh", "configuring for ARM64 fails until this set-up builds it"),
                 ("fetch.sh", "the tests that need it fail until this set-up fetches it")]
        for failing, said in cases:
            with self.subTest(failing):
                result, journal = self.run_setup(missing="", FAKE_FAILS=failing)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(journal[1:], list(BUILDS_AND_FETCHES), "the rest all the same")
                self.assertIn(said, result.stdout)

    def test_goes_on_without_an_index_after_bounded_retries(self):
        # Each case: the index that stays broken, what the install needs, and whether the
        # install must then be retried with the main suite's versions.
        cases = [
            ("i386 security index, matching i386 libraries", I386_SECURITY, "needs-target-release", True),
            ("an index the packages do not need", AMD64_UPDATES, "ok", False),
        ]
        for label, index, install, falls_back in cases:
            with self.subTest(label):
                result, journal = self.run_setup(update_failures=99, broken_index=index, install=install)
                self.assertEqual(result.returncode, 0, result.stderr)
                retries = [line for line in result.stdout.splitlines() if "trying again" in line]
                self.assertEqual(len(retries), len(self.pauses(journal)))
                self.assertGreater(len(retries), 1)
                self.assertLessEqual(sum(self.pauses(journal)), 180)
                self.assertEqual(sorted(self.pauses(journal)), self.pauses(journal), "growing pauses")
                self.assertIn("going on without the", result.stdout)
                self.assertEqual([" -t bookworm " in line for line in self.installs(journal)],
                                 [False, True] if falls_back else [False])
                self.assertEqual("VELMAR_SETUP_SECURITY_FALLBACK=0 turns this off" in result.stdout,
                                 falls_back)
                self.assertEqual("no i386 libraries that match" in result.stdout, falls_back)

    def test_an_index_that_comes_back_needs_no_more_retries(self):
        result, journal = self.run_setup(update_failures=1, install="needs-target-release",
                                         VELMAR_SETUP_SECURITY_FALLBACK="1")
        self.assertEqual(self.pauses(journal), [10])
        self.assertNotIn("going on without", result.stdout)
        # The index came back: an install that fails then is not the mirror's doing.
        self.assertEqual(len(self.installs(journal)), 1)
        self.assertEqual(result.returncode, 1)
        self.assertIn("held broken packages", result.stderr)

    def test_stops_with_one_paragraph_when_waiting_is_the_cure(self):
        result, journal = self.run_setup(update_failures=99, install="needs-target-release",
                                         VELMAR_SETUP_SECURITY_FALLBACK="0")
        self.assertEqual(result.returncode, 1)
        self.assertEqual(len(self.installs(journal)), 1, "no install from the main suite")
        paragraph = " ".join(result.stderr.split())
        for said in ("the bookworm-security main i386 index", "Mirror sync in progress?",
                     "middle of a sync", "run the same command again"):
            self.assertIn(said, paragraph)
        self.assertNotIn("held broken packages", result.stderr, "none of apt's own output")

    def test_says_so_when_it_adds_the_i386_architecture(self):
        result, journal = self.run_setup(FAKE_FOREIGN="")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("dpkg --add-architecture i386", journal)
        self.assertIn("adding the i386 architecture", result.stdout)


class FetchingIntoTheCache(unittest.TestCase):
    """scripts/fetch.sh as it is, against the stand-in mirror, into the test's own cache."""

    def served(self, stand_ins, files):
        """A folder of files that the mirror serves, by name; returns it."""
        folder = stand_ins.folder / "served"
        folder.mkdir()
        for name, data in files.items():
            (folder / name).write_bytes(data)
        return folder

    def hidapi_source_package(self, stand_ins, checksum=None):
        tarball = tar_of({"hidapi-hidapi-0.13.1/windows/hid.c": b"/* hidapi */\n"})
        checksum = checksum or hashlib.sha256(tarball).hexdigest()
        dsc = (f"Source: hidapi\nChecksums-Sha256:\n {checksum} {len(tarball)} "
               f"hidapi_0.13.1.orig.tar.gz\nFiles:\n").encode()
        return self.served(stand_ins, {"hidapi_0.13.1.orig.tar.gz": tarball,
                                       "hidapi_0.13.1-1.dsc": dsc})

    def debian_package(self, stand_ins, name, architecture, files, version="1.0"):
        """A .deb of the files (path: text, each executable) as dpkg-deb builds it; its
        name and content."""
        root = stand_ins.folder / "packages" / name
        (root / "DEBIAN").mkdir(parents=True)
        (root / "DEBIAN" / "control").write_text(
            f"Package: {name}\nVersion: {version}\nArchitecture: {architecture}\n"
            "Maintainer: stand-in <stand-in@mirror.example>\nDescription: stand-in\n")
        for path, text in files.items():
            (root / path).parent.mkdir(parents=True, exist_ok=True)
            write_program(root / path, text)
        deb = root.parent / f"{name}_{version}_{architecture}.deb"
        subprocess.run(["dpkg-deb", "--root-owner-group", "-b", str(root), str(deb)], check=True,
                       capture_output=True)
        return deb.name, deb.read_bytes()

    def qemu_package(self, stand_ins, version, emulators=("qemu-i386", "qemu-aarch64")):
        programs = {f"usr/bin/{emulator}": f"#!/bin/sh\necho '{emulator} version {version}'\n"
                    for emulator in emulators}
        return self.served(stand_ins, dict([self.debian_package(stand_ins, "qemu-user", "amd64",
                                                                programs, version)]))

    def arm64_wine_packages(self, stand_ins, without=None):
        """Wine's and the C library's arm64 packages, the first without the file WITHOUT."""
        wine = {path: "arm64\n" for path in (
            "usr/lib/wine/wine64", "usr/lib/wine/wineserver64", "usr/lib/wine/wineserver",
            "usr/lib/aarch64-linux-gnu/wine/aarch64-unix/ntdll.so", "usr/share/wine/wine.inf",
            "usr/share/doc/wine64/copyright") if path != without}
        libc = {"lib/aarch64-linux-gnu/ld-linux-aarch64.so.1": "arm64\n",
                "lib/ld-linux-aarch64.so.1": "arm64\n"}
        return self.served(stand_ins, dict([self.debian_package(stand_ins, "wine64", "arm64", wine),
                                            self.debian_package(stand_ins, "libc6", "arm64", libc)]))

    def dotnet_packages(self, stand_ins):
        """The two runtime packages as the npm registry lays them out, and a copy of the
        fetching scripts whose pinned SHA-512s are theirs."""
        served = self.served(stand_ins, {
            f"dotnet-2.1-win-{name}-2.1.1007.tgz": tar_of({
                "package/dotnet.exe": b"MZ " + name.encode(),
                "package/host/fxr/2.1.8/hostfxr.dll": b"MZ",
                "package/shared/Microsoft.NETCore.App/2.1.8/coreclr.dll": b"MZ",
                "package/main.js": b"// the installer, not wanted"})
            for name in ("ia32", "x64")})
        scripts = stand_ins.folder / "scripts"
        scripts.mkdir()
        for name in ("fetch.sh", "cache.sh", "apt_retries.sh", "private_apt.sh"):
            shutil.copy(SCRIPTS / name, scripts)
        cache_sh = (scripts / "cache.sh").read_text()
        for name in ("ia32", "x64"):
            pinned = re.search(rf"dotnet-2.1-win-{name} ([0-9a-f]{{128}})", cache_sh).group(1)
            tarball = served / f"dotnet-2.1-win-{name}-2.1.1007.tgz"
            cache_sh = cache_sh.replace(pinned, hashlib.sha512(tarball.read_bytes()).hexdigest())
        (scripts / "cache.sh").write_text(cache_sh)
        return served, scripts

    def test_the_dotnet_runtime_lands_checked_and_once(self):
        stand_ins = StandIns(self)
        served, scripts = self.dotnet_packages(stand_ins)
        # Each case: the fetch script, how the registry answers, and why nothing lands (None:
        # both runtimes land).
        cases = [(SCRIPTS, "unreachable", "the npm registry did not give dotnet-2.1-win-ia32"),
                 (SCRIPTS, "", "dotnet-2.1-win-ia32 2.1.1007 does not match its SHA-512"),
                 (scripts, "", None)]
        for folder, registry, refusal in cases:
            with self.subTest(refusal):
                result = stand_ins.run([folder / "fetch.sh", "dotnet"], FAKE_SERVED=str(served),
                                       FAKE_PRIVATE=registry)
                if refusal:
                    self.assertEqual(result.returncode, 1)
                    self.assertIn(refusal, result.stderr)
                    self.assertFalse((stand_ins.cache / "dotnet-2.1.1007").exists())
                    continue
                self.assertEqual(result.returncode, 0, result.stderr)
                runtime = stand_ins.cache / "dotnet-2.1.1007"
                landed = [path for path in runtime.rglob("*") if path.is_file()]
                self.assertEqual(sorted(str(path.relative_to(runtime)) for path in landed),
                                 [f"{architecture}/{file}" for architecture in ("x64", "x86")
                                  for file in ("dotnet.exe", "host/fxr/2.1.8/hostfxr.dll",
                                               "shared/Microsoft.NETCore.App/2.1.8/coreclr.dll")])
                self.assertEqual((runtime / "x86" / "dotnet.exe").read_bytes(), b"MZ ia32")
                asked = len(stand_ins.lines())
                again = stand_ins.run([folder / "fetch.sh", "dotnet"], FAKE_PRIVATE="unreachable")
                self.assertEqual((again.returncode, again.stdout, again.stderr), (0, "", ""))
                self.assertEqual(len(stand_ins.lines()), asked, "no second fetch")

    def test_an_unreachable_mirror_is_tried_again_then_told_in_a_paragraph(self):
        # Each item asks the archive that the machine's apt configuration names.
        for item, source in (("hidapi", f"deb-src {ARCHIVE} bookworm main"),
                             ("qemu-user", f"deb {ARCHIVE} bookworm-backports main"),
                             ("arm64-wine", f"deb {ARCHIVE} bookworm main")):
            with self.subTest(item):
                stand_ins = StandIns(self)
                result = stand_ins.run([SCRIPTS / "fetch.sh", item], FAKE_PRIVATE="unreachable")
                self.assertEqual(result.returncode, 1)
                journal = stand_ins.lines()
                self.assertEqual(set(journal) - {f"sleep {pause}" for pause in (10, 20, 40, 80)},
                                 {f"private apt-get update: {source}"})
                self.assertEqual(len([line for line in result.stdout.splitlines()
                                      if "trying again" in line]), 4)
                paragraph = " ".join(result.stderr.split())
                self.assertIn(f"could not be fetched, because apt could not fetch {ARCHIVE}", paragraph)
                self.assertIn("run the same command again", paragraph)
                self.assertEqual(list(stand_ins.cache.iterdir()), [], "nothing lands")

    def test_a_machine_whose_apt_names_no_archive_is_told_so(self):
        stand_ins = StandIns(self)
        result = stand_ins.run([SCRIPTS / "fetch.sh", "hidapi"], FAKE_ARCHIVE="")
        self.assertEqual(result.returncode, 1)
        self.assertIn("this machine's apt configuration names no archive for bookworm", result.stderr)
        self.assertEqual(stand_ins.lines(), [])

    def test_what_is_fetched_lands_checked_and_once(self):
        # Each case: the item, what the mirror serves, and what must then be in the cache
        # (None: nothing lands, and the fetch fails saying why).
        cases = [
            ("hidapi", lambda s: self.hidapi_source_package(s), "hidapi-0.13.1/windows/hid.c", None),
            ("hidapi", lambda s: self.hidapi_source_package(s, checksum="0" * 64), None,
             "does not match its .dsc"),
            ("qemu-user", lambda s: self.qemu_package(s, "10.0.2"), "qemu-user/qemu-i386", None),
            ("qemu-user", lambda s: self.qemu_package(s, "10.0.2"), "qemu-user/qemu-aarch64", None),
            ("qemu-user", lambda s: self.qemu_package(s, "7.2.0"), None, "not QEMU 8 or later"),
            ("qemu-user", lambda s: self.qemu_package(s, "10.0.2", ("qemu-i386",)), None,
             "has no qemu-aarch64"),
            # The loader's own name is left to the wrapper that runs it.
            ("arm64-wine", lambda s: self.arm64_wine_packages(s),
             "arm64-wine/sysroot/usr/lib/wine/wine64-aarch64", None),
            ("arm64-wine", lambda s: self.arm64_wine_packages(s),
             "arm64-wine/sysroot/lib/aarch64-linux-gnu/ld-linux-aarch64.so.1", None),
            ("arm64-wine", lambda s: self.arm64_wine_packages(s, without="usr/lib/wine/wineserver64"),
             None, "hold no usr/lib/wine/wineserver64"),
        ]
        for item, serve, lands, refusal in cases:
            with self.subTest(item=item, lands=lands):
                stand_ins = StandIns(self)
                served = serve(stand_ins)
                result = stand_ins.run([SCRIPTS / "fetch.sh", item], FAKE_SERVED=str(served))
                if lands is None:
                    self.assertEqual(result.returncode, 1)
                    self.assertIn(refusal, result.stderr)
                    self.assertEqual(list(stand_ins.cache.iterdir()), [], "nothing lands")
                    continue
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertTrue((stand_ins.cache / lands).is_file())
                if item == "arm64-wine":
                    self.assertFalse((stand_ins.cache / item / "sysroot/usr/share/doc").exists())
                asked = len(stand_ins.lines())
                again = stand_ins.run([SCRIPTS / "fetch.sh", item], FAKE_PRIVATE="unreachable")
                self.assertEqual((again.returncode, again.stdout, again.stderr), (0, "", ""))
                self.assertEqual(len(stand_ins.lines()), asked, "no second fetch")

    def test_a_cache_with_qemu_i386_alone_gets_qemu_aarch64_too(self):
        stand_ins = StandIns(self)
        served = self.qemu_package(stand_ins, "10.0.2")
        (stand_ins.cache / "qemu-user").mkdir(parents=True)
        write_program(stand_ins.cache / "qemu-user" / "qemu-i386", "#!/bin/sh\n")
        result = stand_ins.run([SCRIPTS / "fetch.sh", "qemu-user"], FAKE_SERVED=str(served))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(sorted(path.name for path in (stand_ins.cache / "qemu-user").iterdir()),
                         ["qemu-aarch64", "qemu-i386"])
        self.assertIn("version 10.0.2", (stand_ins.cache / "qemu-user" / "qemu-i386").read_text())


def tar_of(files):
    """A gzipped tarball of the files, by path."""
    data = io.BytesIO()
    with tarfile.open(fileobj=data, mode="w:gz") as tar:
        for name, content in files.items():
            member = tarfile.TarInfo(name)
            member.size = len(content)
            tar.addfile(member, io.BytesIO(content))
    return data.getvalue()
