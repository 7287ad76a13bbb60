"""The system probes against Wine's real services: the version code that each
Windows version Wine emulates gives, and the browser version and installed
test for registry values written here. probe_report.exe runs the probes'
own code and prints `os=<code> browser=<version> installed=<0|1>`."""

import os
import re
import unittest

from winetest import (
    BROWSER_KEY,
    PRODUCT_KEY,
    WINDOWS_BUILD,
    WORK,
    Registry,
    Wine,
    WineError,
    app_defaults_key,
    setting,
)

PROBE_REPORT = setting(
    "PROBE_REPORT", os.path.join(WINDOWS_BUILD, "tests", "windows", "probe_report.exe"))
APP_DEFAULTS_KEY = app_defaults_key("probe_report.exe")


class ProbeReportTestCase(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not os.path.exists(PROBE_REPORT):
            raise WineError(f"no {PROBE_REPORT}: build the target probe_report")
        cls.wine = Wine()

    def setUp(self):
        self.work = os.path.join(WORK, "probes." + self._testMethodName)
        os.makedirs(self.work, exist_ok=True)
        self.registry = Registry(self.wine, self.work)
        self.addCleanup(self.registry.restore)

    def report(self):
        code, out, err = self.wine.run([PROBE_REPORT])
        self.assertEqual(0, code, f"probe_report exit code; stderr: {err.strip()}")
        match = re.fullmatch(r"os=(\d+) browser=(\d+) installed=(\d+)", out.strip())
        self.assertIsNotNone(match, f"probe_report printed {out!r}")
        return {name: int(value) for name, value in zip(("os", "browser", "installed"),
                                                         match.groups())}

    def set_value(self, key, name, data):
        """Text through the framework; (reg type, reg.exe data) through reg.exe,
        after a text write that has the framework remember what to put back."""
        if data is None:
            self.registry.delete(key, name)
            return
        if isinstance(data, str):
            self.registry.set(key, name, data)
            return
        reg_type, reg_data = data
        self.registry.set(key, name, "")
        code, out, err = self.wine.run(
            ["reg", "add", key, "/v", name, "/t", reg_type, "/d", reg_data, "/f"])
        if code != 0:
            raise WineError(f"reg add {key} {name} {reg_type}: {code} {out} {err}")


class VersionCode(ProbeReportTestCase):
    ROWS = [
        # (Wine's version name, code expected)
        ("win95", 0),
        ("win98", 2),
        ("winme", 3),
        ("nt40", 4),
        ("win2k", 5),
        ("winxp", 6),
        ("win7", 6),
    ]

    def test_code_of_each_emulated_windows_version(self):
        for version, expected in self.ROWS:
            with self.subTest(version):
                self.registry.set(APP_DEFAULTS_KEY, "Version", version)
                self.assertEqual(expected, self.report()["os"], f"version code under {version}")


class BrowserVersion(ProbeReportTestCase):
    ROWS = [
        # (name, "Version" data: text, (type, reg.exe data) or None to delete, expected)
        ("IE 5.5", "5.50.4807.2300", 55),
        ("IE 6", "6.0.2800.1106", 60),
        ("IE 5", "5.00.2919.6307", 50),
        ("IE 4.72", "4.72.3110.8", 47),
        ("two-digit major", "10.0.1", 100),
        ("comma ends the major", "5,5", 55),
        ("nothing after the point", "5.", 0),
        ("letter after the point", "5.x", 0),
        ("no leading digit", ".5", 0),
        ("empty", "", 0),
        ("100 bytes with the terminator", "6.0" + "9" * 96, 60),
        ("101 bytes", "6.0" + "9" * 97, 0),
        ("three bytes, no terminator", ("REG_BINARY", "362E30"), 60),
        ("two bytes, no terminator", ("REG_BINARY", "362E"), 0),
        ("missing", None, 0),
    ]

    def test_wine_default_reads_as_its_major_and_minor(self):
        # A fresh prefix reports 9.11.9600.18376.
        self.assertEqual(91, self.report()["browser"])

    def test_version_read_from_the_registry(self):
        for name, data, expected in self.ROWS:
            with self.subTest(name):
                self.set_value(BROWSER_KEY, "Version", data)
                self.assertEqual(expected, self.report()["browser"], f"browser version: {name}")


class ProductInstalled(ProbeReportTestCase):
    ROWS = [
        # (name, "ProgramPath" data as for BrowserVersion, expected)
        ("a path", r"C:\Program Files\Lumenor Scrivo", 1),
        ("empty text", "", 1),
        ("a number", ("REG_DWORD", "1"), 1),
        ("260 bytes with the terminator", "C:\\" + "p" * 256, 1),
        ("261 bytes", "C:\\" + "p" * 257, 0),
        ("missing value", None, 0),
    ]

    def test_not_installed_without_the_key(self):
        self.assertEqual(0, self.report()["installed"])

    def test_installed_exactly_when_the_value_fits_the_path_buffer(self):
        # The first write creates the key; restoring deletes it again.
        for name, data, expected in self.ROWS:
            with self.subTest(name):
                self.set_value(PRODUCT_KEY, "ProgramPath", data)
                self.assertEqual(expected, self.report()["installed"], f"installed: {name}")


if __name__ == "__main__":
    unittest.main()
