"""The entry point that starts launcher.exe in place of a C runtime, under
Wine: entry_check.exe, started by it, reports what ran before, around and
after its WinMain (see tests/windows/entry_check.cpp)."""

import os
import shutil
import unittest

from winetest import WINDOWS_BUILD, WORK, Wine, WineError, setting, windows_path

ENTRY_CHECK = setting(
    "ENTRY_CHECK", os.path.join(WINDOWS_BUILD, "tests", "windows", "entry_check.exe"))
WIN_MAIN_RESULT = 7
SW_SHOWMINIMIZED, SW_SHOWDEFAULT = 2, 10


def expected_report(arguments, show_command):
    return ("constructed before WinMain: first second \n"
            "instance is the module: 1, previous instance: 0\n"
            f"arguments: [{arguments}]\n"
            f"show command: {show_command}\n"
            "destroyed second\n"
            "destroyed first\n")


class EntryPoint(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not os.path.exists(ENTRY_CHECK):
            raise WineError(f"no {ENTRY_CHECK}: build the target entry_check")
        cls.wine = Wine()

    def copy_into(self, folder_name):
        folder = os.path.join(WORK, "entry", folder_name)
        os.makedirs(folder, exist_ok=True)
        return shutil.copy(ENTRY_CHECK, folder)

    def test_constructors_winmain_destructors_and_exit_code(self):
        rows = [
            # (name, folder, arguments given, WinMain's command line)
            ("arguments after a bare program name", "plain", ["first", "two words"],
             'first "two words"'),
            ("no arguments after a quoted program name", "with space", [], ""),
        ]
        for name, folder, arguments, command_line in rows:
            with self.subTest(name):
                program = self.copy_into(folder)
                code, out, err = self.wine.run([program, *arguments])
                self.assertEqual(WIN_MAIN_RESULT, code, f"exit code; stderr: {err.strip()}")
                self.assertEqual(expected_report(command_line, SW_SHOWDEFAULT), out)

    def test_show_command_from_the_start_up_information(self):
        program = self.copy_into("minimized")
        report = os.path.join(os.path.dirname(program), "report.txt")
        if os.path.exists(report):
            os.remove(report)
        code, _, err = self.wine.run(
            ["start", "/wait", "/min", windows_path(program), "x"],
            extra_env={"ENTRY_CHECK_OUTPUT": windows_path(report)})
        self.assertEqual(WIN_MAIN_RESULT, code, f"exit code; stderr: {err.strip()}")
        with open(report, encoding="ascii") as text:
            self.assertEqual(expected_report("x", SW_SHOWMINIMIZED), text.read())


if __name__ == "__main__":
    unittest.main()
