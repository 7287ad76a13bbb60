"""Checks the CD image that tools/make-cd builds: read back through its Joliet
tree, as Windows reads it, every file is there under its Windows name, byte
for byte as laid out, autorun.inf starts the launcher with its icon, and
every font that fonts.dat lists is on the CD. And that the same folder
always makes the same image, dated SOURCE_DATE_EPOCH.

Run from the repository root (it builds the "windows" preset if needed):
    python3 -m unittest discover -s tests/cd -v
"""

import os
import subprocess
import tempfile
import unittest

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
MAKE_CD = os.path.join(REPO, "tools", "make-cd")
LAUNCHER = os.path.join(REPO, "build", "windows", "launcher", "launcher.exe")

SAMPLE_FILES = {
    "autorun.inf", "launcher.exe", "fonts.dat", "fonts/vietnam.ttf",
    "UScrivo.exe", "Scrivo.exe", "LumoScrivoStart.exe", "Software/IE6/IE6Setup.exe",
}

AUTHOR_FILES = {
    "UScrivo.exe": b"MZ nt build",
    "Scrivo.exe": b"MZ 9x build",
    "LumoScrivoStart.exe": b"MZ setup starter",
    "Software/IE6/IE6Setup.exe": b"MZ browser setup",
    "fonts.dat": b"Scrivo Serif (TrueType),Fonts\\ScrivoSerif.ttf\r\n"
                 b"Scrivo Sans (TrueType),fonts\\scrivosans.TTF\r\n",
    "Fonts/ScrivoSerif.ttf": b"serif",
    "Fonts/ScrivoSans.ttf": b"sans",
    "Read Me First - Lumenor Scrivo 2002.txt": b"longer than eight dot three",
}


def run(command, env=None):
    done = subprocess.run(command, capture_output=True, text=True, env=env)
    if done.returncode != 0:
        raise AssertionError(f"{' '.join(command)} exited {done.returncode}:\n"
                             f"{done.stdout}{done.stderr}")
    return done.stdout + done.stderr


class Image:
    """An image made by tools/make-cd, read back through its Joliet tree."""

    def __init__(self, folder, *options, env=None):
        self.path = os.path.join(folder, "cd.iso")
        self.layout = os.path.join(folder, "cd")
        run([MAKE_CD, *options, self.path], env=env)
        # -read_fs norock: the Joliet tree, not the Rock Ridge names.
        self.toc = run(["xorriso", "-read_fs", "norock", "-indev", self.path, "-toc"])
        listing = run(["xorriso", "-read_fs", "norock", "-indev", self.path,
                       "-find", "/", "-type", "f"])
        self.files = {line.strip().strip("'").lstrip("/") for line in listing.splitlines()
                      if line.startswith("'/")}
        self.extracted = os.path.join(folder, "extracted")
        run(["xorriso", "-osirrox", "on", "-read_fs", "norock", "-indev", self.path,
             "-extract", "/", self.extracted])

    def read(self, name):
        with open(os.path.join(self.extracted, name), "rb") as file:
            return file.read()

    def laid_out(self, name):
        with open(os.path.join(self.layout, name), "rb") as file:
            return file.read()


def manifest_paths(data):
    """The font paths of a fonts.dat, as the launcher reads them."""
    paths = []
    for line in data.replace(b"\r\n", b"\n").split(b"\n"):
        if b"," in line:
            paths.append(line.split(b",", 1)[1].decode("ascii"))
    return paths


class CdImageChecks:
    image = None

    def test_windows_reads_the_joliet_tree(self):
        self.assertRegex(self.image.toc, r"ISO loaded\s*:\s*Joliet")

    def test_every_file_is_there_under_its_windows_name(self):
        self.assertEqual(self.expected_files, self.image.files)

    def test_every_file_is_as_laid_out(self):
        for name in sorted(self.image.files):
            with self.subTest(name):
                self.assertEqual(self.image.laid_out(name), self.image.read(name),
                                 f"{name}: bytes in the image differ from the layout")
        with open(LAUNCHER, "rb") as built:
            self.assertEqual(built.read(), self.image.read("launcher.exe"),
                             "launcher.exe in the image is not the one built")

    def test_autorun_starts_the_launcher_with_its_icon(self):
        lines = self.image.read("autorun.inf").decode("ascii").split("\r\n")
        self.assertEqual("[autorun]", lines[0])
        entries = dict(line.split("=", 1) for line in lines[1:] if line)
        self.assertEqual("launcher.exe", entries.get("open"), f"autorun.inf: {lines}")
        # The icon is the program's first one, with or without its index.
        self.assertIn(entries.get("icon"), ("launcher.exe", "launcher.exe,0"), f"autorun.inf: {lines}")

    def test_every_listed_font_is_on_the_cd(self):
        # Windows opens a listed path whatever the case of its letters.
        on_cd = {name.lower() for name in self.image.files}
        paths = manifest_paths(self.image.read("fonts.dat"))
        self.assertTrue(paths, "fonts.dat lists no font")
        for path in paths:
            self.assertIn(path.replace("\\", "/").lower(), on_cd, f"listed font {path!r}")


class SampleCd(CdImageChecks, unittest.TestCase):
    expected_files = SAMPLE_FILES

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.image = Image(cls.folder.name)

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()


def write_author_files(product):
    for name, data in AUTHOR_FILES.items():
        path = os.path.join(product, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as file:
            file.write(data)


class AuthorsCd(CdImageChecks, unittest.TestCase):
    expected_files = set(AUTHOR_FILES) | {"launcher.exe", "autorun.inf"}

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        product = os.path.join(cls.folder.name, "product")
        write_author_files(product)
        cls.image = Image(cls.folder.name, "--product", product)

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def test_authors_files_keep_their_content(self):
        for name, data in AUTHOR_FILES.items():
            with self.subTest(name):
                self.assertEqual(data, self.image.read(name))


class ReproducibleImage(unittest.TestCase):
    EPOCH = 946684800  # 2000-01-01 00:00:00 UTC
    # The volume creation date of the primary volume descriptor (sector 16).
    CREATION_DATE = slice(16 * 2048 + 813, 16 * 2048 + 829)

    def test_same_folder_same_image_whenever_its_files_were_copied(self):
        env = dict(os.environ, SOURCE_DATE_EPOCH=str(self.EPOCH))
        with tempfile.TemporaryDirectory() as work:
            product = os.path.join(work, "product")
            write_author_files(product)
            images = []
            for copy, file_time in (("one", 1_000_000_000), ("two", 1_500_000_000)):
                for root, _, names in os.walk(product):
                    for name in names:
                        os.utime(os.path.join(root, name), (file_time, file_time))
                folder = os.path.join(work, copy)
                os.makedirs(folder)
                with open(Image(folder, "--product", product, env=env).path, "rb") as image:
                    images.append(image.read())
        self.assertEqual(b"2000010100000000", images[0][self.CREATION_DATE])
        self.assertTrue(images[0] == images[1], "the two images differ")


if __name__ == "__main__":
    unittest.main()
