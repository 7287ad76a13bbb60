"""Checks that launcher.exe loads on Windows 95 and NT 4.0: its PE headers ask
for no subsystem or OS version above 4.0, and it imports only what
allowed-imports.txt lists, each entry of which both systems provide, and no
C or C++ runtime DLL at all. Also that it keeps the hardening that later
systems apply (a relocatable image, data not executable) and the file
alignment of 512 bytes.

Run from the repository root after building the "windows" preset:
    python3 -m unittest discover -s tests/pe -v
LAUNCHER_EXE names another launcher.exe; OBJDUMP another objdump.
"""

import os
import re
import subprocess
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
LAUNCHER = os.environ.get(
    "LAUNCHER_EXE", os.path.join(REPO, "build", "windows", "launcher", "launcher.exe"))
OBJDUMP = os.environ.get("OBJDUMP", "i686-w64-mingw32-objdump")
ALLOW_LIST = os.path.join(HERE, "allowed-imports.txt")

WINDOWS_GUI = 2
HIGHEST_VERSION = (4, 0)
FILE_ALIGNMENT = 512
DYNAMIC_BASE = 0x0040
NX_COMPAT = 0x0100
# Runtime DLLs of the compilers and of Windows itself: none ships with every
# Windows the launcher runs on.
RUNTIME_DLL = re.compile(
    r"^(msvcrt.*|msvcp.*|vcruntime.*|ucrtbase.*|api-ms-win-crt-.*|libgcc.*|libstdc\+\+.*"
    r"|libwinpthread.*)\.dll$", re.IGNORECASE)


def private_headers(path):
    return subprocess.run([OBJDUMP, "-p", path], check=True, capture_output=True,
                          text=True).stdout


def header_fields(dump):
    """The "Name  value" lines of the optional header, values as objdump prints them."""
    fields = {}
    for line in dump.splitlines():
        match = re.match(r"^(\w+)\s+([0-9A-Fa-f]+)\b", line)
        if match:
            fields.setdefault(match.group(1), match.group(2))
    return fields


def imports(dump):
    """{DLL name in upper case: [function names]} from the import tables.
    An import by ordinal is kept as "#<ordinal>": it has no name to allow."""
    table, dll = {}, None
    section = dump.split("The Import Tables", 1)
    if len(section) < 2:
        return table
    for line in section[1].splitlines():
        if line.startswith("The ") or line.startswith("PE File Base Relocations"):
            break
        name = re.match(r"^\s*DLL Name: (\S+)", line)
        if name:
            dll = name.group(1).upper()
            table.setdefault(dll, [])
            continue
        entry = re.match(r"^\s+[0-9a-f]+\s+(\d+)\s+(\S+)\s*$", line)
        by_ordinal = re.match(r"^\s+[0-9a-f]+\s+<none>\s+([0-9a-f]+)\s*$", line)
        if dll and entry:
            table[dll].append(entry.group(2))
        elif dll and by_ordinal:
            table[dll].append("#" + by_ordinal.group(1))
    return table


def allowed():
    entries = set()
    with open(ALLOW_LIST, encoding="ascii") as listing:
        for number, line in enumerate(listing, 1):
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            parts = line.split()
            if len(parts) != 2:
                raise ValueError(f"{ALLOW_LIST}:{number}: expected 'DLL function', got {line!r}")
            entries.add((parts[0].upper(), parts[1]))
    return entries


def version(fields, major, minor):
    return (int(fields.get(major, "99")), int(fields.get(minor, "99")))


class LauncherLoadsOnOldWindows(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not os.path.isfile(LAUNCHER):
            # Not a skip: a missing program must not pass for a clean one.
            raise AssertionError(f"{LAUNCHER} is not built; build the windows preset first")
        cls.dump = private_headers(LAUNCHER)
        cls.fields = header_fields(cls.dump)
        cls.imports = imports(cls.dump)

    def test_is_a_32_bit_windows_gui_program(self):
        self.assertIn("file format pei-i386", self.dump)
        self.assertEqual(WINDOWS_GUI, int(self.fields.get("Subsystem", "-1"), 16),
                         f"Subsystem: got {self.fields.get('Subsystem')}")

    def test_versions_asked_for_are_at_most_4_0(self):
        for what, major, minor in [
            ("subsystem version", "MajorSubsystemVersion", "MinorSubsystemVersion"),
            ("OS version", "MajorOSystemVersion", "MinorOSystemVersion"),
        ]:
            with self.subTest(what):
                got = version(self.fields, major, minor)
                self.assertLessEqual(got, HIGHEST_VERSION, f"{what}: got {got[0]}.{got[1]}")

    def test_imports_only_what_the_allow_list_holds(self):
        # The parse must have found the calls the launcher cannot do without,
        # or an empty result would pass for a clean one.
        for dll, function in [("KERNEL32.DLL", "CreateMutexA"), ("SHELL32.DLL", "ShellExecuteA")]:
            self.assertIn(function, self.imports.get(dll, []),
                          f"{dll} {function} not found; parsed {sorted(self.imports)}")
        permitted = allowed()
        permitted_dlls = {dll for dll, _ in permitted}
        outside = [f"{dll} {function}"
                   for dll, functions in sorted(self.imports.items())
                   for function in functions
                   if (dll, function) not in permitted]
        self.assertEqual([], outside,
                         f"imports missing from {os.path.relpath(ALLOW_LIST, REPO)}; DLLs "
                         f"listed there: {sorted(permitted_dlls)}")

    def test_imports_no_runtime_dll(self):
        self.assertTrue(self.imports, "no import table found")
        runtimes = sorted(dll for dll in self.imports if RUNTIME_DLL.match(dll))
        self.assertEqual([], runtimes, f"runtime DLLs imported; all DLLs: {sorted(self.imports)}")

    def test_relocatable_with_data_not_executable(self):
        flags = int(self.fields.get("DllCharacteristics", "0"), 16)
        for name, bit in [("DYNAMIC_BASE", DYNAMIC_BASE), ("NX_COMPAT", NX_COMPAT)]:
            with self.subTest(name):
                self.assertTrue(flags & bit, f"DllCharacteristics: got {flags:#06x}")
        # A relocatable image needs its base relocations, or the loader cannot move it.
        match = re.search(r"^Entry 5 [0-9a-f]+ ([0-9a-f]+) Base Relocation Directory",
                          self.dump, re.MULTILINE)
        self.assertIsNotNone(match, "no base relocation directory entry")
        self.assertNotEqual(0, int(match.group(1), 16), "no base relocations")

    def test_file_alignment_is_512(self):
        self.assertEqual(FILE_ALIGNMENT, int(self.fields.get("FileAlignment", "0"), 16),
                         f"FileAlignment: got {self.fields.get('FileAlignment')}")


if __name__ == "__main__":
    unittest.main()
