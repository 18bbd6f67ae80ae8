#!/usr/bin/env python3
"""The generator of the Qt program's resources, on variants of the real resource script: what it
writes of each dialog, what the Qt program cannot show or the generator does not read stops the
build, and an unchanged output is left alone."""

import os
import subprocess
import sys
import tempfile
import unittest

RES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "res")
GENERATOR = os.path.join(RES, "generate_qt_resources.py")
PRAGMA = "#pragma code_page(65001)"

with open(os.path.join(RES, "quorvel.rc"), encoding="utf-8") as script_file:
    SCRIPT = script_file.read()


class GeneratorTest(unittest.TestCase):
    def setUp(self):
        self.directory = tempfile.TemporaryDirectory()
        self.addCleanup(self.directory.cleanup)

    def generate(self, script_bytes, name="variant"):
        """Runs the generator on the script; its exit status, stderr and written source."""
        rc = os.path.join(self.directory.name, name + ".rc")
        with open(rc, "wb") as out:
            out.write(script_bytes)
        source = os.path.join(self.directory.name, name, "templates.cpp")
        result = subprocess.run(
            [sys.executable, GENERATOR, "--rc", rc, "--ids", os.path.join(RES, "resource.h"),
             "--header", os.path.join(self.directory.name, name, "qt", "resource.h"),
             "--source", source, "--dialog", "IDD_MAIN=kMainDialogTemplate",
             "--dialog", "IDD_ABOUTBOX=kAboutBoxTemplate",
             "--dialog", "IDD_PROGRESS_STRIP=kProgressStripTemplate"],
            capture_output=True, text=True)
        text = None
        if result.returncode == 0:
            with open(source, encoding="utf-8") as generated:
                text = generated.read()
        return result.returncode, result.stderr, text

    def test_each_dialog_keeps_its_place_texts_and_controls(self):
        status, errors, text = self.generate(SCRIPT.encode("utf-8"))
        self.assertEqual((status, errors), (0, ""))
        for line in [
                'const DialogTemplate kAboutBoxTemplate = {IDD_ABOUTBOX, "IDD_ABOUTBOX", '
                '"关于 quorvel", {0, 0, 235, 55}, kAboutBoxTemplateControls};',
                'tick \\"Convert 3D to 2D\\" \\n"',
                'const DialogTemplate kProgressStripTemplate = {IDD_PROGRESS_STRIP, '
                '"IDD_PROGRESS_STRIP", "", {7, 150, 306, 44}, kProgressStripTemplateControls};',
                '{-1, "IDC_STATIC", Kind::kHorizontalRule, "", {0, 0, 306, 1}},',
                '{IDC_PROGRESS_TEXT, "IDC_PROGRESS_TEXT", Kind::kLeftText, "", {0, 5, 252, 10}},',
                '{IDC_PROGRESS_BAR, "IDC_PROGRESS_BAR", Kind::kProgressBar, "", {0, 16, 252, 9}},']:
            self.assertIn(line, text)

    def test_what_the_qt_program_cannot_show_stops_the_build(self):
        cases = {
            "no code page": (SCRIPT.replace(PRAGMA, "").encode("utf-8"),
                             "text beyond ASCII before #pragma code_page(65001)"),
            "another code page": (SCRIPT.replace("65001", "936").encode("gbk"),
                                  "code page 936: only 65001, UTF-8, is read"),
            "utf-16": (SCRIPT.replace(PRAGMA, "").encode("utf-16"),
                       "not UTF-8 without a byte-order mark"),
            "utf-8 with its mark": (b"\xef\xbb\xbf" + SCRIPT.encode("utf-8"),
                                    "not UTF-8 without a byte-order mark"),
            "bytes not of UTF-8": (SCRIPT.encode("utf-8").replace(b"Modify", b"Mod\xe9"),
                                   "not UTF-8"),
            "an unknown control": (SCRIPT.replace("    CTEXT", "    COMBOBOX").encode("utf-8"),
                                   "IDD_MAIN: unsupported control statement COMBOBOX"),
            "a control of another class": (
                SCRIPT.replace('"Button"', '"msctls_trackbar32"').encode("utf-8"),
                "IDD_MAIN: unsupported CONTROL class MSCTLS_TRACKBAR32"),
            "a static control of another style": (
                SCRIPT.replace("SS_ETCHEDHORZ", "SS_ETCHEDVERT").encode("utf-8"),
                "IDD_PROGRESS_STRIP: unsupported CONTROL class STATIC"),
            "an escape other than a line feed": (SCRIPT.replace("Folder Path:", "Folder\\tPath:")
                                                 .encode("utf-8"), "unsupported escape"),
            "a dialog statement of no use here": (
                SCRIPT.replace('CAPTION "Quorvel 2.0"', 'MENU 1').encode("utf-8"),
                "IDD_MAIN: unknown dialog statement MENU"),
            "no main dialog": (SCRIPT.replace("IDD_MAIN DIALOGEX", "IDD_OTHER DIALOGEX")
                               .encode("utf-8"), "no dialog IDD_MAIN"),
        }
        for name, (variant, message) in cases.items():
            with self.subTest(name):
                status, errors, _ = self.generate(variant)
                self.assertNotEqual(status, 0)
                self.assertIn(message, errors)

    def test_a_dialog_the_qt_program_does_not_ask_for_is_passed_over(self):
        other = ('\nIDD_OTHER DIALOGEX 0, 0, 100, 50\nCAPTION "x"\nBEGIN\n'
                 '    COMBOBOX 1, 0, 0, 10, 10\nEND\n')
        status, errors, text = self.generate((SCRIPT + other).encode("utf-8"))
        self.assertEqual((status, errors), (0, ""))
        self.assertNotIn("IDD_OTHER", text)

    def test_an_unchanged_output_keeps_its_time(self):
        self.generate(SCRIPT.encode("utf-8"), "same")
        source = os.path.join(self.directory.name, "same", "templates.cpp")
        os.utime(source, (1, 1))
        self.generate(SCRIPT.encode("utf-8"), "same")
        self.assertEqual(os.stat(source).st_mtime, 1)


if __name__ == "__main__":
    unittest.main()
