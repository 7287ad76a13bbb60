"""Hostile input for the real launcher under Wine: a huge, binary or oddly
cut fonts.dat, registry values of the wrong type or size, and a launch
directory at the edge of a path buffer. Each case ends as the launcher's
rules say: the documented program starts or nothing does, a file error shows
its message box (which the test answers), exit code 1, no crash.
"""

import os
import random
import time
import unittest

from winetest import (
    BROWSER_KEY,
    CAPTION,
    FONTS_KEY_NT,
    IDCANCEL,
    PRODUCT_KEY,
    SAMPLE_FONT_FILE,
    SAMPLE_FONT_VALUE,
    SETUP_KEY,
    LauncherTestCase,
    WineError,
    import_reg_file,
    unescape,
)

OPEN_ERROR = "Cannot open file"
MESSAGE_BOX_TEXT = 0xFFFF  # the static control that holds a message box's text

SAMPLE_LINE = b"Vietnam (TrueType),fonts\\vietnam.ttf\r\n"
MAIN_PROGRAM = "UScrivo.exe"
SETUP_STARTER = "LumoScrivoStart.exe"

REG_SZ, REG_BINARY, REG_DWORD = 1, 3, 4
PIECE = 259  # the longest piece of a manifest line that is read at once


def manifest_paths(data):
    """The font paths that the launcher takes from manifest bytes: nothing
    from the first Ctrl-Z on, CR dropped before LF, lines read in pieces of
    at most 259 bytes, a piece's text ending at a zero byte, and only pieces
    with a comma counting."""
    text = data.split(b"\x1a", 1)[0].replace(b"\r\n", b"\n")
    paths = []
    for line in text.split(b"\n"):
        pieces = [line[i:i + PIECE] for i in range(0, len(line), PIECE)] or [b""]
        for piece in pieces:
            piece = piece.split(b"\0", 1)[0]
            if b"," in piece:
                paths.append(piece.split(b",", 1)[1])
    return paths


def reg_hex(kind, data):
    return f"hex({kind:x}):" + ",".join(f"{byte:02x}" for byte in data)


class HostileTestCase(LauncherTestCase):
    """The sample CD on D:, Windows XP using the NT family's Fonts key, the
    sample font not installed, Internet Explorer 6.0."""

    def setUp(self):
        super().setUp()
        self.forget_sample_font()
        self.folder = self.lay_out_cd()
        self.set_windows_version("winxp")
        self.registry.delete(SETUP_KEY, "SharedDir")
        self.set_browser_version("6.0")

    def write_manifest(self, data):
        with open(os.path.join(self.folder, "fonts.dat"), "wb") as manifest:
            manifest.write(data)

    def set_raw(self, key, name, kind, data):
        """A value of any type with exactly these bytes, put back afterwards."""
        self.registry._remember(key, name)
        path = os.path.join(self.work, "raw.reg")
        with open(path, "w", encoding="ascii", newline="\r\n") as reg:
            reg.write(f'REGEDIT4\n\n[{key}]\n"{name}"={reg_hex(kind, data)}\n\n')
        import_reg_file(self.wine, path)

    def run_answering(self, folder=None, timeout_s=60):
        """Runs the launcher to its end, answering each message box it shows.

        Returns (exit code, [(caption, text bytes)] of the boxes in order)."""
        process = self.start_launcher(folder or self.folder)
        boxes = []
        deadline = time.monotonic() + timeout_s
        while process.poll() is None:
            if time.monotonic() > deadline:
                self.screenshot("still-running")
                self.fail(f"launcher.exe still running after {timeout_s} s; boxes so far {boxes}; "
                          f"windows: {self.winctl('list').windows}")
            box = [w for w in self.winctl.windows_of("launcher.exe")
                   if w["visible"] and w["caption"].startswith("Cannot ")]
            if not box:
                time.sleep(0.1)
                continue
            caption = box[0]["caption"]
            boxes.append((caption, self.winctl.text(caption, MESSAGE_BOX_TEXT)))
            self.winctl("key", caption, "enter")
            self.wait_until_closed(box[0]["hwnd"])
        return process.returncode, boxes

    def wait_until_closed(self, hwnd, timeout_s=10):
        # By its handle: the next box may already show under the same caption.
        deadline = time.monotonic() + timeout_s
        while hwnd in [w["hwnd"] for w in self.winctl.windows_of("launcher.exe")]:
            if time.monotonic() > deadline:
                raise WineError(f"message box {hwnd} still open after {timeout_s} s")
            time.sleep(0.05)

    def sample_font_recorded(self):
        return self.registry.read(FONTS_KEY_NT, SAMPLE_FONT_VALUE) == SAMPLE_FONT_FILE

    def expect_run(self, exit_code, boxes, started, what=""):
        self.assertEqual(1, exit_code, f"{what}: exit code")
        expected_modules = ["D:\\" + name for name in started]
        self.assertEqual(expected_modules, self.started_modules(), f"{what}: programs started")
        return boxes


class HostileManifest(HostileTestCase):
    def test_a_10_mb_manifest_is_read_to_its_last_line(self):
        filler = b"a line without any comma that pads the manifest out\r\n"
        data = filler * (10 * 1024 * 1024 // len(filler)) + SAMPLE_LINE
        self.write_manifest(data)

        code, boxes = self.run_answering(timeout_s=120)

        self.assertEqual([], boxes, "message boxes")
        self.expect_run(code, boxes, [SETUP_STARTER])
        self.assertTrue(self.sample_font_recorded(), "the font listed after 10 MB")

    def test_binary_bytes_neither_stop_the_reader_nor_show_as_fonts(self):
        noise = bytes(b for b in random.Random(2002).randbytes(64 * 1024) if b not in b",\n\x1a")
        named = b"name\x01,\x01\xfe.ttf"
        data = (noise + b"\n"
                + b"\x80\xff\x00,fonts\\vietnam.ttf\n"  # the zero byte hides the comma
                + named + b"\r\n" + SAMPLE_LINE)
        self.write_manifest(data)

        code, boxes = self.run_answering()

        self.assertEqual([(OPEN_ERROR, b"\x01\xfe.ttf")], boxes,
                         "one box, for the one binary line with a comma")
        self.assertEqual([b"\x01\xfe.ttf", b"fonts\\vietnam.ttf"], manifest_paths(data))
        self.expect_run(code, boxes, [SETUP_STARTER])
        self.assertTrue(self.sample_font_recorded(), "the font listed after the binary lines")

    def test_ctrl_z_ends_the_manifest(self):
        self.write_manifest(b"\x00\xff\xfe binary\r\n\x1a" + SAMPLE_LINE)

        code, boxes = self.run_answering()

        self.assertEqual([], boxes, "message boxes")
        self.expect_run(code, boxes, [SETUP_STARTER])
        self.assertFalse(self.sample_font_recorded(), "a font listed after Ctrl-Z")

    def test_lines_of_thousands_of_bytes_are_read_in_pieces(self):
        long_line = b"x" * 5000
        comma_far_out = b"n" * 1000 + b"," + b"y" * 2000
        data = long_line + b"\r\n" + comma_far_out + b"\r\n" + SAMPLE_LINE
        self.write_manifest(data)
        expected = [(OPEN_ERROR, path) for path in manifest_paths(data)[:-1]]
        self.assertEqual(1, len(expected), "the comma stands in one piece of its line")

        code, boxes = self.run_answering()

        self.assertEqual(expected, boxes, "the piece with the comma, alone, names a file")
        self.expect_run(code, boxes, [SETUP_STARTER])
        self.assertTrue(self.sample_font_recorded(), "the font listed after the long lines")

    def test_paths_longer_than_a_line_piece_are_cut_and_never_found(self):
        # Folders of 8 bytes: wherever the piece ends, the cut path's file
        # name is short, so the copy is tried and its source is missing.
        def path_of(length):
            path = b"fonts\\" + b"d0000000\\" * 40
            return path[:length - len(SAMPLE_FONT_FILE)] + SAMPLE_FONT_FILE.encode()

        for name, path_length in [(b"F", 259), (b"F", 260), (b"F", 300), (b"", 258)]:
            with self.subTest(f"value name of {len(name)} bytes, path of {path_length} bytes"):
                path = path_of(path_length)
                self.assertEqual(path_length, len(path))
                self.write_manifest(name + b"," + path + b"\r\n")
                open(self.log, "wb").close()

                code, boxes = self.run_answering()

                read = path[:PIECE - len(name) - 1]
                self.assertEqual([(OPEN_ERROR, read)], boxes, "the path as far as it was read")
                self.expect_run(code, boxes, [SETUP_STARTER])


class HostileRegistry(HostileTestCase):
    def test_product_path_of_any_type_up_to_260_bytes_means_installed(self):
        rows = [
            # (name, type, data, installed)
            ("REG_DWORD", REG_DWORD, b"\x01\x00\x00\x00", True),
            ("REG_SZ of 100 bytes", REG_SZ, b"C:\\" + b"p" * 96 + b"\0", True),
            ("REG_SZ of 101 bytes", REG_SZ, b"C:\\" + b"p" * 97 + b"\0", True),
            ("REG_BINARY of 260 bytes", REG_BINARY, bytes(range(256)) + b"\1\2\3\4", True),
            ("REG_BINARY of 261 bytes", REG_BINARY, bytes(range(256)) + b"\1\2\3\4\5", False),
        ]
        for name, kind, data, installed in rows:
            with self.subTest(name):
                self.forget_sample_font()
                self.set_raw(PRODUCT_KEY, "ProgramPath", kind, data)
                open(self.log, "wb").close()

                code, boxes = self.run_answering()

                self.assertEqual([], boxes, "message boxes")
                self.expect_run(code, boxes, [MAIN_PROGRAM if installed else SETUP_STARTER], name)
                self.assertEqual(not installed, self.sample_font_recorded(),
                                 "fonts are installed only when the product is not")

    def test_browser_version_of_the_wrong_type_or_size_reads_as_no_browser(self):
        rows = [
            # (name, type, data, browser usable)
            ("6.0 in 100 bytes", REG_SZ, b"6.0" + b"x" * 96 + b"\0", True),
            ("6.0 in 101 bytes", REG_SZ, b"6.0" + b"x" * 97 + b"\0", False),
            ("6.0 in 260 bytes", REG_SZ, b"6.0" + b"x" * 256 + b"\0", False),
            ("6.0 in 261 bytes", REG_SZ, b"6.0" + b"x" * 257 + b"\0", False),
            ("REG_DWORD 6", REG_DWORD, b"\x06\x00\x00\x00", False),
            ("REG_BINARY 6.0, no terminator", REG_BINARY, b"6.0", True),
        ]
        for name, kind, data, usable in rows:
            with self.subTest(name):
                self.set_raw(BROWSER_KEY, "Version", kind, data)
                open(self.log, "wb").close()

                process = self.start_launcher(self.folder)
                if not usable:
                    self.winctl.wait_for(CAPTION)
                    self.winctl("click", CAPTION, IDCANCEL)
                self.expect_run(self.wait_for_exit(process), [],
                                [SETUP_STARTER] if usable else [], name)


class HostileLaunchDirectory(HostileTestCase):
    """The launch directory, the launcher's own folder with its final "\\",
    at the lengths where the program to start just fits a path buffer and
    where it no longer does."""

    @staticmethod
    def folder_of(directory_length):
        """Folders below D:\\ that make a launch directory of that length."""
        length = directory_length - len("D:\\") - 1
        folder = (("f" * 49) + "\\") * 10
        folder = folder[:length]
        return folder[:-1] + "g" if folder.endswith("\\") else folder

    def test_programs_start_only_when_their_path_fits(self):
        rows = [
            # (name, launch directory length, product installed, program, starts)
            ("main program in 258 bytes", 247, True, MAIN_PROGRAM, True),
            ("launcher's own path of 260 bytes", 248, True, MAIN_PROGRAM, False),
            ("setup starter in 259 bytes", 240, False, SETUP_STARTER, True),
            ("setup starter in 260 bytes", 241, False, SETUP_STARTER, False),
        ]
        for name, length, installed, program, starts in rows:
            with self.subTest(name):
                folder = self.folder_of(length)
                self.assertEqual(length, len("D:\\" + folder + "\\"))
                launcher_folder = self.lay_out_cd(folder.replace("\\", "/"))
                if installed:
                    self.install_product()
                else:
                    self.registry.delete(PRODUCT_KEY, "ProgramPath")
                open(self.log, "wb").close()

                code, boxes = self.run_answering(launcher_folder)

                self.assertEqual([], boxes, "message boxes")
                started = ["D:\\" + folder + "\\" + program] if starts else []
                self.assertEqual(1, code, f"{name}: exit code")
                self.assertEqual(started, self.started_modules(), f"{name}: programs started")


if __name__ == "__main__":
    unittest.main()
