"""The manual against the DLL: every export has a man page of its own and an HTML page that
gives its ordinal, and no page documents a function that the DLL does not export.

Environment: VELMAR_DLL (the built Velmar.dll), VELMAR_MANUAL (the manual's build folder,
with html/ and man/man3/).
"""
import collections
import glob
import os
import re
import unittest

import pe_contents

MANUAL = os.environ["VELMAR_MANUAL"]
# A function's own section: its prototype as the section title (a macro's starts "#define").
MAN_FUNCTION = re.compile(r'^\.SS "[^"#]*?(\w+) \(', re.M)
HTML_FUNCTION = re.compile(r'class="memtitle">.*?</span>(\w+)\(\)</h2>')


def documented(pattern, page_pattern):
    """Each function that the pages document, with the pages that do."""
    pages = collections.defaultdict(list)
    for path in sorted(glob.glob(os.path.join(MANUAL, page_pattern))):
        with open(path, encoding="utf-8") as page:
            for function in pattern.findall(page.read()):
                pages[function].append(os.path.basename(path))
    return pages


class Manual(unittest.TestCase):
    def setUp(self):
        self.exports = pe_contents.export_ordinals(os.environ["VELMAR_DLL"])

    def test_each_export_has_a_man_page_of_its_own(self):
        pages = documented(MAN_FUNCTION, "man/man3/*.3")
        self.assertEqual(sorted(pages), sorted(self.exports))
        for function in self.exports:
            self.assertEqual(pages[function], [function + ".3"])

    def test_each_export_has_an_html_page_that_gives_its_ordinal(self):
        pages = documented(HTML_FUNCTION, "html/*.html")
        self.assertEqual(sorted(pages), sorted(self.exports))
        for function, ordinal in self.exports.items():
            self.assertEqual(len(pages[function]), 1, function)
            with open(os.path.join(MANUAL, "html", pages[function][0]), encoding="utf-8") as page:
                self.assertIn(f"Export ordinal {ordinal} of Velmar.dll.", page.read())


if __name__ == "__main__":
    unittest.main()
