"""The launcher's one decision under Wine, and the browser prompt it shows.

Each test lays out a fresh copy of the sample CD as drive D: and starts
launcher.exe from its root, as autorun does. The prompt tests check in one
launch what the prompt looks like and then answer it: Wine holds a program
about 2 s when it hides a window on a display without a window manager (it
waits for one to confirm), so every prompt shown costs that much.
"""

import os
import re
import subprocess
import unittest

from winetest import (
    CAPTION,
    FAMILY_9X,
    FONTS_KEY_9X,
    FONTS_KEY_NT,
    IDC_MESSAGE,
    IDCANCEL,
    IDOK,
    SAMPLE_FONT_FILE,
    SAMPLE_FONT_VALUE,
    SETUP_KEY,
    LauncherTestCase,
)

MESSAGE = b"C\xe4n c\x85i IE 6.0 tr\x9f\xf4" b"c khi c\x85i Lumenor CD 2001"
INSTALL_BUTTON_TEXT = b"&Install IE6"
CANCEL_BUTTON_TEXT = b"&Cancel"
MESSAGE_FONT = ("Vietnam", 12)
# Fonts that must draw the message differently from the message font, or the
# comparison of pixels could not tell that font from others.
CONTRAST_FONTS = [
    ("No Such Face", 12),  # what the control shows when "Vietnam" is missing
    ("MS Sans Serif", -11),  # the dialog's own font, 8 points at 96 dots per inch
    ("Vietnam", 11),
    ("Vietnam", 13),
]

MANIFEST_ERROR_CAPTION = "Cannot open file fonts.dat"
MANIFEST_ERROR_TEXT = b"fonts.dat"
# The message box's text is a static control with this id in Wine's template.
MESSAGE_BOX_TEXT_ID = 0xFFFF

IE5 = "5.00.2919.6307"
IE6 = "6.0.2800.1106"

MAIN_PROGRAM_NT = "D:\\UScrivo.exe"
MAIN_PROGRAM_9X = "D:\\Scrivo.exe"
SETUP_STARTER = "D:\\LumoScrivoStart.exe"
BROWSER_SETUP = "D:\\Software\\IE6\\IE6Setup.exe"
# The process names of the CD's programs: the stub under each name.
CD_PROGRAMS = ("UScrivo.exe", "Scrivo.exe", "LumoScrivoStart.exe", "IE6Setup.exe")


def truncated_half(value):
    """value / 2 rounded toward zero, as C's integer division does."""
    return int(value / 2)


def parse_rect(text):
    return tuple(int(part) for part in text.split(","))


def read_ppm(picture):
    """(width, height, [(r, g, b), ...]) of an image, read through
    imagemagick as an 8-bit binary PPM."""
    data = subprocess.run(["convert", picture, "-depth", "8", "ppm:-"], check=True,
                          stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, timeout=30).stdout
    match = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
    if not match:
        raise ValueError(f"{picture}: imagemagick gave no 8-bit binary PPM")
    width, height = int(match.group(1)), int(match.group(2))
    body = data[match.end():match.end() + 3 * width * height]
    return width, height, [tuple(body[i:i + 3]) for i in range(0, len(body), 3)]


class DialogTestCase(LauncherTestCase):
    def setUp(self):
        super().setUp()
        # An earlier run that ended before its clean-up must not make the font
        # count as installed.
        self.forget_sample_font()
        self.folder = self.lay_out_cd()
        self.source_font = os.path.join(self.folder, "fonts", SAMPLE_FONT_FILE)

    # -- the machine --

    def emulate(self, version):
        """A Windows version, with the Fonts key of its family in place: the
        NT family has no "SharedDir"; the 9x family has it and its own key."""
        self.set_windows_version(version)
        if version in FAMILY_9X:
            self.registry.set(SETUP_KEY, "SharedDir", "C:\\windows")
            # Deleting a value creates the key when it is missing.
            self.registry.delete(FONTS_KEY_9X, SAMPLE_FONT_VALUE)
        else:
            self.registry.delete(SETUP_KEY, "SharedDir")

    def installed_font_file(self):
        fonts = os.path.join(self.wine.windows_directory(), "Fonts")
        for name in os.listdir(fonts) if os.path.isdir(fonts) else []:
            if name.lower() == SAMPLE_FONT_FILE:
                return os.path.join(fonts, name)
        return None

    def assert_fonts_installed(self):
        copied = self.installed_font_file()
        self.assertIsNotNone(copied, f"{SAMPLE_FONT_FILE} not in the fonts directory")
        with open(copied, "rb") as copy, open(self.source_font, "rb") as source:
            self.assertTrue(copy.read() == source.read(), f"{copied} differs from the CD's font")
        self.assertEqual(SAMPLE_FONT_FILE, self.registry.read(FONTS_KEY_NT, SAMPLE_FONT_VALUE),
                         "the NT Fonts key's value for the sample font")

    def assert_no_font_installed(self):
        self.assertIsNone(self.installed_font_file(), "the sample font in the fonts directory")
        for key in (FONTS_KEY_NT, FONTS_KEY_9X):
            self.assertIsNone(self.registry.read(key, SAMPLE_FONT_VALUE),
                              f"the sample font's value under {key}")

    # -- the launcher --

    def clear_started(self):
        open(self.log, "wb").close()

    def run_unseen(self):
        """Runs the launcher to its end while watching for a window of it:
        (exit code, the window that showed or None)."""
        watch = self.winctl.watch("launcher.exe", 20)
        process = self.start_launcher(self.folder)
        try:
            code = self.wait_for_exit(process, timeout_s=15)
        finally:
            self.end_launcher(process)
        seen = watch.result()
        self.assertTrue(seen["seen_process"], "the watch never saw the launcher run")
        return code, seen["window"]

    def end_launcher(self, process):
        """Kills a launcher that a failed check left running, so that the next
        row does not meet its mutex."""
        if process.poll() is None:
            process.kill()
            process.wait()
        self.wait_until_no_launcher_runs()

    def assert_nothing_started(self):
        """Once the launcher has ended: a program it started is either still
        running or has written its line, so no waiting is needed."""
        running = [name for name in CD_PROGRAMS if self.winctl("windows", name)["processes"] != "0"]
        self.assertEqual([], running, "programs of the CD running")
        self.assertEqual([], self.started(), "programs started")

    def visible_launcher_windows(self):
        return [(w["caption"], w["class"]) for w in self.winctl.windows_of("launcher.exe")
                if w["visible"]]

    # -- the prompt --

    def assert_prompt_layout(self, prompt):
        """Visible, centred as the launcher computes it from the screen size
        and its own rectangle, with its caption, message and buttons."""
        # Found by its caption, but a window's caption is matched without
        # regard to case: the bytes are checked here.
        self.assertEqual(CAPTION, prompt["caption"], "the prompt's caption")
        info = self.winctl("info", CAPTION)
        self.assertEqual("1", info["visible"], "the prompt is visible")
        left, top, right, bottom = parse_rect(info["rect"])
        width, height = (int(n) for n in info["screen"].split("x"))
        self.assertEqual(
            (truncated_half(width - (right - left)), truncated_half(height - (bottom - top))),
            (left, top), f"top-left corner of the prompt {info['rect']} on a {info['screen']} screen")
        self.assertEqual("1", info["defid"], "the default button")
        self.assertEqual(MESSAGE, self.winctl.text(CAPTION, IDC_MESSAGE), "the message")
        self.assertEqual(INSTALL_BUTTON_TEXT, self.winctl.text(CAPTION, IDOK), "the IDOK button")
        self.assertEqual(CANCEL_BUTTON_TEXT, self.winctl.text(CAPTION, IDCANCEL),
                         "the IDCANCEL button")
        return (left, top, right, bottom)

    def assert_message_font(self):
        """The message control draws its text in "Vietnam" at height 12.

        Its font cannot be asked for from another process (a GDI handle means
        nothing outside its own), so winctl copies the control's pixels from
        the screen and draws the control's own text in a font it names, with
        the control's layout, colours and size, and counts the pixels that
        differ. "Vietnam" at 12 must draw exactly what the screen shows, and
        winctl's font must really be "Vietnam": were the font missing, both
        sides would fall back to the same default and agree. The contrast
        fonts must not: they show that the comparison tells the face and the
        height apart. Returns the message control's rectangle on the screen.
        """
        fonts = [MESSAGE_FONT, *CONTRAST_FONTS]
        result = self.winctl("font-match", CAPTION, IDC_MESSAGE,
                             *[part for font in fonts for part in font])
        self.assertGreater(int(result["ink"]), 0, "the message control shows no text")
        self.assertEqual(MESSAGE_FONT[0], result["face.1"], f"the face chosen for {MESSAGE_FONT}")
        self.assertEqual("0", result["differing.1"],
                         f"pixels of the message control that {MESSAGE_FONT} does not draw")
        for number, font in enumerate(CONTRAST_FONTS, start=2):
            self.assertNotEqual("0", result[f"differing.{number}"],
                                f"{font} ({result[f'face.{number}']}) draws the message alike")
        return parse_rect(result["rect"])

    def assert_screenshot_not_blank(self, name, dialog_rect, message_rect):
        """Takes a screenshot of the prompt's rectangle and keeps it in the
        work folder: it must hold more than a few colours (icon, buttons, text
        smoothing) and dark pixels of text inside the message control."""
        picture = self.wine.screenshot(os.path.join(self.work, name + ".png"), crop=dialog_rect)
        width, height, colours = read_ppm(picture)
        left, top, right, bottom = dialog_rect
        self.assertEqual((right - left, bottom - top), (width, height), f"size of {picture}")
        self.assertGreater(len(set(colours)), 8, f"distinct colours in {picture}")
        m_left, m_top, m_right, m_bottom = message_rect
        dark = sum(
            1
            for y in range(m_top - top, m_bottom - top)
            for x in range(m_left - left, m_right - left)
            if max(colours[y * width + x]) < 96
        )
        self.assertGreater(dark, 50, f"dark pixels in the message area of {picture}")


class ProductInstalled(DialogTestCase):
    ROWS = [
        # (Wine's version name, program expected)
        ("win95", MAIN_PROGRAM_9X),
        ("win98", MAIN_PROGRAM_9X),
        ("winme", MAIN_PROGRAM_9X),
        ("nt40", MAIN_PROGRAM_NT),
        ("win2k", MAIN_PROGRAM_NT),
        ("winxp", MAIN_PROGRAM_NT),
        ("win7", MAIN_PROGRAM_NT),
    ]

    def test_main_program_of_the_family_starts_and_nothing_else_happens(self):
        self.install_product()
        for version, expected in self.ROWS:
            with self.subTest(version):
                self.emulate(version)
                self.clear_started()
                code, window = self.run_unseen()
                self.assertEqual(1, code, "exit code")
                self.assertIsNone(window, "a launcher window showed")
                self.assertEqual([expected], self.started_modules(), "programs started")
                self.assert_no_font_installed()


class RecentBrowser(DialogTestCase):
    ROWS = [
        # (name, Internet Explorer "Version")
        ("IE 5.5", "5.50.4807.2300"),
        ("IE 6.0", IE6),
        ("Wine's own IE 9.11", "9.11.9600.18376"),
    ]

    def test_fonts_are_installed_then_the_setup_starter_starts(self):
        self.emulate("winxp")
        for name, version in self.ROWS:
            with self.subTest(name):
                self.forget_sample_font()
                self.set_browser_version(version)
                self.clear_started()
                code, window = self.run_unseen()
                self.assertEqual(1, code, "exit code")
                self.assertIsNone(window, "a launcher window showed")
                self.assertEqual([SETUP_STARTER], self.started_modules(), "programs started")
                self.assert_fonts_installed()


class BrowserPrompt(DialogTestCase):
    """Each row installs the fonts, shows the prompt, checks it and then
    answers it one of the five ways."""

    ROWS = [
        # (way of answering, browser "Version" or None, winctl command, programs started)
        ("Install IE6 clicked", None, ("click", CAPTION, IDOK), [BROWSER_SETUP]),
        ("Enter", IE5, ("key", CAPTION, "enter"), [BROWSER_SETUP]),
        ("Cancel clicked", IE5, ("click", CAPTION, IDCANCEL), []),
        ("Escape", None, ("key", CAPTION, "escape"), []),
        ("close box", IE5, ("close", CAPTION), []),
    ]

    def test_prompt_shows_for_an_old_or_missing_browser_and_each_answer_ends_it(self):
        self.emulate("winxp")
        for way, version, command, expected in self.ROWS:
            with self.subTest(way, browser=version):
                self.forget_sample_font()
                self.set_browser_version(version)
                self.clear_started()
                process = self.start_launcher(self.folder)
                try:
                    prompt = self.winctl.wait_for(CAPTION)
                    self.assert_fonts_installed()
                    dialog_rect = self.assert_prompt_layout(prompt)
                    message_rect = self.assert_message_font()
                    self.assert_screenshot_not_blank(
                        "prompt-" + way.split()[0].lower(), dialog_rect, message_rect)
                    self.assertEqual([], self.started(), "programs started before the answer")

                    self.winctl(*command)
                    self.assertEqual(1, self.wait_for_exit(process), "exit code")
                    if expected:
                        self.assertEqual(expected, self.started_modules(), "programs started")
                    else:
                        self.assert_nothing_started()
                finally:
                    self.end_launcher(process)


class MissingManifest(DialogTestCase):
    ROWS = [
        # (name, browser "Version" or None, what follows the message box)
        ("browser absent: the prompt", None, "prompt"),
        ("IE 6.0: the setup starter", IE6, SETUP_STARTER),
    ]

    def test_message_box_then_the_run_goes_on(self):
        os.unlink(os.path.join(self.folder, "fonts.dat"))
        self.emulate("winxp")
        for name, version, follows in self.ROWS:
            with self.subTest(name):
                self.set_browser_version(version)
                self.clear_started()
                process = self.start_launcher(self.folder)
                try:
                    self.winctl.wait_for(MANIFEST_ERROR_CAPTION)
                    self.assertEqual(MANIFEST_ERROR_TEXT,
                                     self.winctl.text(MANIFEST_ERROR_CAPTION, MESSAGE_BOX_TEXT_ID),
                                     "the message box's text")
                    self.assertEqual([(MANIFEST_ERROR_CAPTION, "#32770")],
                                     self.visible_launcher_windows(),
                                     "visible launcher windows while the message box shows")
                    self.assertEqual([], self.started(), "programs started before the box's OK")

                    self.winctl("click", MANIFEST_ERROR_CAPTION, IDOK)
                    if follows == "prompt":
                        self.winctl.wait_for(CAPTION)
                        self.assertEqual(MESSAGE, self.winctl.text(CAPTION, IDC_MESSAGE),
                                         "the prompt's message")
                        self.winctl("key", CAPTION, "escape")
                    self.assertEqual(1, self.wait_for_exit(process), "exit code")
                    if follows == "prompt":
                        self.assert_nothing_started()
                    else:
                        self.assertEqual([follows], self.started_modules(), "programs started")
                    self.assertIsNone(self.installed_font_file(),
                                      "a font in the fonts directory without a manifest")
                finally:
                    self.end_launcher(process)


if __name__ == "__main__":
    unittest.main()
