#!/usr/bin/python3
"""The accuracy tables in the README and the manual page are what tools/peak-accuracy prints."""
import pathlib
import subprocess
import sys
import unittest

ROOT = pathlib.Path(__file__).resolve().parent.parent


def script_output(*arguments):
    return subprocess.run([sys.executable, str(ROOT / "tools" / "peak-accuracy"), *arguments],
                          capture_output=True, text=True, check=True).stdout


class PeakAccuracyDocs(unittest.TestCase):
    def test_the_readme_holds_the_scripts_table(self):
        self.assertIn(script_output(), (ROOT / "README.md").read_text())

    def test_the_manual_page_holds_the_scripts_table(self):
        self.assertIn(script_output("--roff"), (ROOT / "doc" / "quodrel.1").read_text())


if __name__ == "__main__":
    unittest.main(verbosity=2)
