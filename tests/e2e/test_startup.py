"""Start-up of the real launcher under Wine: one copy at a time, and the
launch directory it finds for itself."""

import unittest

from winetest import CAPTION, IDC_MESSAGE, LauncherTestCase


class SingleInstance(LauncherTestCase):
    def test_second_copy_ends_at_once_with_1_and_shows_nothing(self):
        # The first copy stays up only while it shows its browser prompt:
        # product not installed, no browser version.
        folder = self.lay_out_cd()
        self.set_windows_version("winxp")
        self.set_browser_version(None)
        first = self.start_launcher(folder)
        prompt = self.winctl.wait_for(CAPTION)
        self.assertIsNone(first.poll(), "the first copy ended while its prompt shows")

        watch = self.winctl.watch("launcher.exe", 15, ignored_pid=prompt["pid"])
        second = self.start_launcher(folder)
        self.assertEqual(1, self.wait_for_exit(second, timeout_s=10), "exit code of the second copy")
        seen = watch.result()
        self.assertFalse(seen["shown"], f"the second copy showed {seen['window']}")
        self.assertTrue(seen["seen_process"], "the watch never saw the second copy run")

        visible = [w for w in self.winctl.windows_of("launcher.exe") if w["visible"]]
        self.assertEqual([prompt["hwnd"]], [w["hwnd"] for w in visible],
                         "only the first copy's prompt shows")
        self.assertIsNone(first.poll(), "the first copy ended when the second started")

        self.winctl("key", CAPTION, "escape")
        self.assertEqual(1, self.wait_for_exit(first), "exit code of the first copy")
        self.assertEqual([], self.started_modules(), "programs started")

    def test_a_new_copy_runs_once_the_first_has_ended(self):
        folder = self.lay_out_cd()
        self.set_windows_version("winxp")
        self.set_browser_version(None)
        first = self.start_launcher(folder)
        self.winctl.wait_for(CAPTION)
        self.winctl("key", CAPTION, "escape")
        self.assertEqual(1, self.wait_for_exit(first))

        again = self.start_launcher(folder)
        self.winctl.wait_for(CAPTION)
        self.assertTrue(self.winctl.text(CAPTION, IDC_MESSAGE), "the prompt has its message")
        self.winctl("key", CAPTION, "escape")
        self.assertEqual(1, self.wait_for_exit(again))


class LaunchDirectory(LauncherTestCase):
    """With the product installed the launcher starts the main program from
    its own folder, whatever that folder is, and shows nothing."""

    ROWS = [
        # (name, folder below D:\, Windows version, program expected)
        ("root of the drive, XP", "", "winxp", "D:\\UScrivo.exe"),
        ("folder setup, XP", "setup", "winxp", "D:\\setup\\UScrivo.exe"),
        ("nested folders, 2000", "cd\\disk1", "win2k", "D:\\cd\\disk1\\UScrivo.exe"),
        ("root of the drive, NT 4.0", "", "nt40", "D:\\UScrivo.exe"),
        ("folder setup, 98", "setup", "win98", "D:\\setup\\Scrivo.exe"),
    ]

    def test_main_program_starts_from_the_launch_directory(self):
        self.install_product()
        for name, folder, version, expected in self.ROWS:
            with self.subTest(name):
                launcher_folder = self.lay_out_cd(folder.replace("\\", "/"))
                self.set_windows_version(version)
                open(self.log, "wb").close()

                watch = self.winctl.watch("launcher.exe", 20)
                self.assertEqual(1, self.run_launcher(launcher_folder), "exit code")
                seen = watch.result()

                self.assertEqual([expected], self.started_modules(), "programs started")
                self.assertTrue(seen["seen_process"], "the watch never saw the launcher run")
                self.assertFalse(seen["shown"], f"a launcher window showed: {seen['window']}")


if __name__ == "__main__":
    unittest.main()
