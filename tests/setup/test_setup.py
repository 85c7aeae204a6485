"""The machine set-up against a package mirror in the middle of a sync, without the network:
stand-ins for apt-get, dpkg, dpkg-query, locale, sleep and sudo on the PATH play the
mirror's part and journal what the set-up asked of them."""

import os
import subprocess
import tempfile
import unittest
from pathlib import Path

SETUP = Path(__file__).resolve().parents[2] / "scripts" / "setup.sh"
I386_SECURITY = "http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz"
AMD64_UPDATES = "http://deb.debian.org/debian/dists/bookworm-updates/main/binary-amd64/Packages.xz"

# apt-get as the mirror served it: `update` fails on the index $FAKE_BROKEN_INDEX for the
# first $FAKE_UPDATE_FAILURES calls; `install` fails as unresolvable without `-t` where
# $FAKE_INSTALL is "needs-target-release", always where it is "broken".
APT_GET = r"""#!/bin/bash
echo "apt-get $*" >>"$FAKE_JOURNAL"
case $1 in
update)
  count=$(grep -c '^apt-get update' "$FAKE_JOURNAL")
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
STAND_INS = {
    "apt-get": APT_GET,
    "dpkg-query": '#!/bin/bash\n[[ " $FAKE_MISSING " == *" ${@: -1} "* ]] || printf "install ok installed"\n',
    "dpkg": '#!/bin/bash\necho "dpkg $*" >>"$FAKE_JOURNAL"\n[ "$1" != --print-foreign-architectures ] || echo "${FAKE_FOREIGN-i386}"\n',
    "locale": "#!/bin/bash\necho ru_RU.utf8\n",
    "sleep": '#!/bin/bash\necho "sleep $1" >>"$FAKE_JOURNAL"\n',
    "sudo": '#!/bin/bash\nexec "$@"\n',
}


class SetupAgainstAMirrorMidSync(unittest.TestCase):
    def run_setup(self, missing="wine32:i386", update_failures=0, broken_index=I386_SECURITY,
                  install="ok", **environment):
        """Runs the set-up with the stand-ins; returns its result and the journal's lines."""
        folder = Path(self.enterContext(tempfile.TemporaryDirectory()))
        for name, text in STAND_INS.items():
            (folder / name).write_text(text)
            (folder / name).chmod(0o755)
        journal = folder / "journal"
        journal.touch()
        result = subprocess.run(
            ["bash", str(SETUP)], capture_output=True, text=True, timeout=60, stdin=subprocess.DEVNULL,
            env=dict(os.environ, PATH=f"{folder}:{os.environ['PATH']}", FAKE_JOURNAL=str(journal),
                     FAKE_MISSING=missing, FAKE_UPDATE_FAILURES=str(update_failures),
                     FAKE_BROKEN_INDEX=broken_index, FAKE_INSTALL=install, **environment))
        return result, journal.read_text().splitlines()

    def installs(self, journal):
        return [line for line in journal if line.startswith("apt-get install")]

    def pauses(self, journal):
        return [int(line.split()[1]) for line in journal if line.startswith("sleep")]

    def test_does_nothing_and_says_nothing_when_everything_is_in_place(self):
        result, journal = self.run_setup(missing="")
        self.assertEqual((result.returncode, result.stdout, result.stderr), (0, "", ""))
        self.assertFalse([line for line in journal if line.startswith("apt-get")])

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
