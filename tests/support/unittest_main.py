"""Runs unittest modules or classes as one CTest test, as `python -m unittest -v NAME...`
does from the working folder, and gives CTest a skip as a skip: where every test that ran
was skipped, it says why, a line a test, and exits with SKIP_CODE, the tests' SKIP_RETURN_CODE
(cmake/WineTests.cmake). A run in which some tests pass and others skip fails instead: a
test that cannot run on some hosts is a CTest test of its own, so that CTest's summary counts
it. A run of no test fails too.

    python3 unittest_main.py NAME...
"""
import os
import sys
import unittest

SKIP_CODE = 77


def main():
    sys.path.insert(0, os.getcwd())
    result = unittest.main(module=None, argv=["unittest", "-v", *sys.argv[1:]], exit=False).result
    if not result.wasSuccessful():
        sys.exit(1)
    if result.testsRun == 0:
        print("no test ran", file=sys.stderr)
        sys.exit(1)
    # A skip inside a subTest is its test's: counted once, by the test's own name.
    skipped = {}
    for test, reason in result.skipped:
        skipped.setdefault(getattr(test, "test_case", test).id(), reason)
    for name, reason in skipped.items():
        print(f"skipped: {name}: {reason}")
    if not skipped:
        sys.exit(0)
    if len(skipped) == result.testsRun:
        sys.exit(SKIP_CODE)
    print("some of these tests skipped while others ran: each test that may skip is a CTest "
          "test of its own", file=sys.stderr)
    sys.exit(1)


if __name__ == "__main__":
    main()
