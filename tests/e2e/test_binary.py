"""launcher.exe as Windows 95 and NT 4.0 load it: a 32-bit GUI program for
subsystem 4.0 that needs no DLL beyond those every Windows has. The 64-bit
twin is held to the same, but for its image format."""

import os
import re
import subprocess
import unittest

from winetest import OBJDUMP, SAMPLE_CD, TWIN

# No C runtime DLL: not even msvcrt.dll, which the first Windows 95 lacks.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll"}


def private_headers(path):
    return subprocess.run([OBJDUMP, "-p", path], check=True, capture_output=True,
                          text=True, timeout=60).stdout


def header_field(headers, name):
    match = re.search(rf"^{name}\s+(\S+)", headers, re.MULTILINE)
    return match.group(1) if match else None


class LauncherBinary(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.path = os.path.join(SAMPLE_CD, "launcher.exe")
        cls.headers = private_headers(cls.path)

    def test_pe32_gui_program_for_subsystem_4_0(self):
        if TWIN:
            self.assertRegex(self.headers, r"file format pei-x86-64", "a 64-bit x86 PE image")
            self.assertEqual("020b", header_field(self.headers, "Magic"), "PE32+")
        else:
            self.assertRegex(self.headers, r"file format pei-i386", "a 32-bit x86 PE image")
            self.assertEqual("010b", header_field(self.headers, "Magic"), "PE32, not PE32+")
        self.assertEqual("00000002", header_field(self.headers, "Subsystem"), "Windows GUI")
        self.assertEqual("4", header_field(self.headers, "MajorSubsystemVersion"))
        self.assertEqual("0", header_field(self.headers, "MinorSubsystemVersion"))

    def test_imports_only_system_dlls(self):
        imported = {name.lower() for name in re.findall(r"DLL Name: (\S+)", self.headers)}
        self.assertTrue(imported, "no import table found")
        self.assertLessEqual(imported, SYSTEM_DLLS, f"beyond the system DLLs: {imported - SYSTEM_DLLS}")


if __name__ == "__main__":
    unittest.main()
