"""A test that cannot run here is a skip, never a pass: unittest_main.py gives CTest its skip
code where every test it ran was skipped and fails a run that mixes skips with passes;
CTest then counts the test as skipped, and skipped_tests.py names it with the reason, as the
test command prints them. A scratch CTest project holds the cases.

Environment: VELMAR_SOURCE_DIR.
"""
import os
import subprocess
import tempfile
import textwrap
import unittest
from pathlib import Path

SOURCE = Path(os.environ["VELMAR_SOURCE_DIR"])
UNITTEST_MAIN = SOURCE / "tests" / "support" / "unittest_main.py"
SKIPPED_TESTS = SOURCE / "scripts" / "skipped_tests.py"

# Each module: the unittest cases it holds, and what CTest must make of it.
MODULES = {
    "all_skip": ("self.skipTest('no network namespace here')", "Skipped"),
    "all_pass": ("pass", "Passed"),
    "mixed": ("self.skipTest('half the checks') if self.id().endswith('one') else None", "Failed"),
    "failing": ("self.fail('a real fault')", "Failed"),
}


class SkipsAreSkips(unittest.TestCase):
    def test_ctest_counts_and_the_command_names_each_skip(self):
        project = Path(self.enterContext(tempfile.TemporaryDirectory()))
        lines = ["cmake_minimum_required(VERSION 3.25)", "project(skips NONE)", "enable_testing()"]
        for name, (body, _) in MODULES.items():
            (project / f"{name}.py").write_text(textwrap.dedent(f"""\
                import unittest
                class Cases(unittest.TestCase):
                    def test_one(self):
                        {body}
                    def test_two(self):
                        {body}
                """))
            lines += [f"add_test(NAME {name} COMMAND python3 {UNITTEST_MAIN} {name}"
                      f" WORKING_DIRECTORY {project})",
                      f"set_tests_properties({name} PROPERTIES SKIP_RETURN_CODE 77)"]
        (project / "CMakeLists.txt").write_text("\n".join(lines) + "\n")
        build = project / "build"
        subprocess.run(["cmake", "-S", project, "-B", build], check=True, capture_output=True)
        junit = build / "results.xml"
        ctest = subprocess.run(["ctest", "--test-dir", build, "--output-junit", junit],
                               capture_output=True, text=True, timeout=120)
        for name, (_, outcome) in MODULES.items():
            with self.subTest(name):
                verdicts = [line for line in ctest.stdout.splitlines() if f": {name} " in line]
                self.assertEqual(len(verdicts), 1, ctest.stdout)
                self.assertIn(outcome, verdicts[0])
        report = subprocess.run(["python3", SKIPPED_TESTS, f"x86={junit}"], capture_output=True,
                                text=True, check=True).stdout.splitlines()
        self.assertEqual(report, [
            "Skipped in the x86 suite: all_skip: all_skip.Cases.test_one: no network namespace "
            "here; all_skip.Cases.test_two: no network namespace here"])


if __name__ == "__main__":
    unittest.main()
