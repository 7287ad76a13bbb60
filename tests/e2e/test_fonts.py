"""Font installation under Wine, against the real services.

fontinstall_check.exe is the font installer's own code built for Windows: run
in a copy of the sample CD, it installs what fonts.dat lists and reports the
Fonts key and fonts directory it used, InstallManifestFonts' result, and
whether the family "Vietnam" was known before and after (see
tests/windows/fontinstall_check.cpp). Each test arranges the prefix as one
Windows family has it and puts everything back when it ends.
"""

import os
import unittest

from winetest import (
    FONTS_KEY_9X,
    FONTS_KEY_NT,
    SAMPLE_FONT_FILE,
    SAMPLE_FONT_VALUE,
    SETUP_KEY,
    WINDOWS_BUILD,
    LauncherTestCase,
    WineError,
    app_defaults_key,
    setting,
)

FONTINSTALL_CHECK = setting(
    "FONTINSTALL_CHECK", os.path.join(WINDOWS_BUILD, "tests", "windows", "fontinstall_check.exe"))
CHECK_DEFAULTS_KEY = app_defaults_key("fontinstall_check.exe")
FAMILY = "Vietnam"

# The key paths exactly as the installer spells them, the 9x one with its
# final backslash.
NT_KEY_PATH = r"SOFTWARE\Microsoft\Windows NT\CurrentVersion\Fonts"
NINE_X_KEY_PATH = "Software\\Microsoft\\Windows\\CurrentVersion\\Fonts\\"


def parse_report(text):
    report = {}
    for line in text.splitlines():
        name, sep, value = line.partition("=")
        if sep:
            report[name] = value
    return report


class FontInstallTestCase(LauncherTestCase):
    """The sample CD as drive D:, the check program run from its root."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        if not os.path.exists(FONTINSTALL_CHECK):
            raise WineError(f"no {FONTINSTALL_CHECK}: build the target fontinstall_check")

    def setUp(self):
        super().setUp()
        # An earlier run that ended before its clean-up must not make the
        # font count as installed.
        self.forget_sample_font()
        self.folder = self.lay_out_cd()
        self.source_font = os.path.join(self.folder, "fonts", SAMPLE_FONT_FILE)

    def as_nt_family(self):
        """Windows XP: no "SharedDir", so the NT family's Fonts key is used."""
        self.registry.set(CHECK_DEFAULTS_KEY, "Version", "winxp")
        self.registry.delete(SETUP_KEY, "SharedDir")

    def as_9x_family(self):
        """Windows 98 with its "SharedDir" and its own Fonts key, which a
        default prefix lacks."""
        self.registry.set(CHECK_DEFAULTS_KEY, "Version", "win98")
        self.registry.set(SETUP_KEY, "SharedDir", "C:\\windows")
        # Wine makes this key when it first loads its fonts; should it be
        # absent, deleting a value in it creates it, to be removed again when
        # the test ends.
        self.registry.delete(FONTS_KEY_9X, SAMPLE_FONT_VALUE)

    def run_check(self):
        code, out, err = self.wine.run([FONTINSTALL_CHECK, FAMILY], cwd=self.folder)
        self.assertEqual(0, code, f"fontinstall_check: {out} {err}")
        return parse_report(out)

    def installed_copy(self):
        """The Unix path of the font in the prefix's fonts folder, or None.

        Wine's folder is "Fonts"; the installer asks for "FONTS", which Wine
        finds whatever the case."""
        fonts = os.path.join(self.wine.windows_directory(), "Fonts")
        for name in os.listdir(fonts):
            if name.lower() == SAMPLE_FONT_FILE:
                return os.path.join(fonts, name)
        return None

    def read_bytes(self, path):
        with open(path, "rb") as file:
            return file.read()


class InstallSampleFont(FontInstallTestCase):
    def test_nt_family_installs_the_font_and_a_second_run_copies_nothing(self):
        self.as_nt_family()

        report = self.run_check()

        self.assertEqual("1", report["nt_family"])
        self.assertEqual(NT_KEY_PATH, report["fonts_key"])
        self.assertEqual("c:\\windows\\fonts\\", report["fonts_directory"].lower())
        self.assertTrue(report["fonts_directory"].endswith("\\FONTS\\"), report["fonts_directory"])
        self.assertEqual("missing", report["before " + FAMILY])
        self.assertEqual("1", report["result"])
        self.assertEqual("found", report["after " + FAMILY], "the family once the font is added")
        copy = self.installed_copy()
        self.assertIsNotNone(copy, "the font in the Windows fonts folder")
        self.assertEqual(self.read_bytes(self.source_font), self.read_bytes(copy))
        self.assertEqual(SAMPLE_FONT_FILE, self.registry.read(FONTS_KEY_NT, SAMPLE_FONT_VALUE),
                         "the bare file name under the manifest's value name")
        self.assertIsNone(self.registry.read(FONTS_KEY_9X, SAMPLE_FONT_VALUE))

        # A copy would rewrite the file in place: its change time would move.
        before = os.stat(copy)
        again = self.run_check()

        self.assertEqual("found", again["before " + FAMILY])
        self.assertEqual("1", again["result"])
        after = os.stat(copy)
        self.assertEqual((before.st_ino, before.st_mtime_ns, before.st_ctime_ns),
                         (after.st_ino, after.st_mtime_ns, after.st_ctime_ns),
                         "the second run left the installed font alone")
        self.assertEqual(SAMPLE_FONT_FILE, self.registry.read(FONTS_KEY_NT, SAMPLE_FONT_VALUE))

    def test_9x_family_records_the_font_under_its_own_key(self):
        self.as_9x_family()

        report = self.run_check()

        self.assertEqual("0", report["nt_family"])
        self.assertEqual(NINE_X_KEY_PATH, report["fonts_key"])
        self.assertEqual("missing", report["before " + FAMILY])
        self.assertEqual("1", report["result"])
        self.assertEqual("found", report["after " + FAMILY])
        copy = self.installed_copy()
        self.assertIsNotNone(copy, "the font in the Windows fonts folder")
        self.assertEqual(self.read_bytes(self.source_font), self.read_bytes(copy))
        self.assertEqual(SAMPLE_FONT_FILE, self.registry.read(FONTS_KEY_9X, SAMPLE_FONT_VALUE))
        self.assertIsNone(self.registry.read(FONTS_KEY_NT, SAMPLE_FONT_VALUE))


class InstalledFontCheck(FontInstallTestCase):
    """The real RegEnumValueA counts the terminator in a name's capacity: the
    value with the longest name (or data) of the Fonts key must still be read
    and compared, so that a font recorded there is not installed again."""

    ROWS = [
        # (name, value name, data): each the longest of the NT Fonts key
        ("the longest name", "Sample recorded " + "N" * 300, "VIETNAM.TTF"),
        ("the longest data", "Sample recorded elsewhere",
         "C:\\" + "\\".join(["D" * 60] * 6) + "\\Vietnam.fon"),
    ]

    def test_a_font_recorded_in_the_longest_value_is_not_installed_again(self):
        self.as_nt_family()
        for row_name, value_name, data in self.ROWS:
            with self.subTest(row_name):
                self.registry.set(FONTS_KEY_NT, value_name, data)
                try:
                    report = self.run_check()

                    self.assertEqual("1", report["result"])
                    self.assertEqual("missing", report["after " + FAMILY], "nothing added")
                    self.assertIsNone(self.installed_copy(), "nothing copied")
                    self.assertIsNone(self.registry.read(FONTS_KEY_NT, SAMPLE_FONT_VALUE),
                                      "nothing recorded")
                finally:
                    self.registry.delete(FONTS_KEY_NT, value_name)
                    self.forget_sample_font()


if __name__ == "__main__":
    unittest.main()
