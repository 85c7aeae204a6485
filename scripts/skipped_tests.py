"""Says which tests CTest skipped and why, from the JUnit files that `ctest --output-junit`
wrote: one line a test, with the lines in which the test said why ("skipped: ..."), or its
last line of output where it said none. A suite without its file did not run.

    python3 skipped_tests.py SUITE=JUNIT_FILE...
"""
import os
import sys
import xml.etree.ElementTree as ElementTree


def skips(junit_file):
    for case in ElementTree.parse(junit_file).getroot().iter("testcase"):
        if case.find("skipped") is None:
            continue
        output = (case.findtext("system-out") or "").splitlines()
        reasons = [line.removeprefix("skipped: ") for line in output if line.startswith("skipped: ")]
        yield case.get("name"), "; ".join(reasons or output[-1:] or ["no reason given"])


def main():
    said = False
    for argument in sys.argv[1:]:
        suite, junit_file = argument.split("=", 1)
        if not os.path.exists(junit_file):
            print(f"The {suite} suite did not run.")
            said = True
            continue
        for name, why in skips(junit_file):
            print(f"Skipped in the {suite} suite: {name}: {why}")
            said = True
    if not said:
        print("No test was skipped.")


if __name__ == "__main__":
    main()
