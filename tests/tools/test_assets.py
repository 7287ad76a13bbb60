"""Tests for the asset generators: the sample font and the launcher icon.

Run from the repository root:
    python3 -m unittest discover -s tests/tools -v
"""

import os
import struct
import subprocess
import sys
import tempfile
import unittest

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
MAKE_FONT = os.path.join(REPO, "tools", "make_sample_font.py")
MAKE_ICON = os.path.join(REPO, "tools", "make_icon.py")
ICON_SOURCE = os.path.join(REPO, "launcher", "launcher_icon.txt")
DEJAVU_SANS = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"

MESSAGE = b"C\xE4n c\x85i IE 6.0 tr\x9F\xF4c khi c\x85i Lumenor CD 2001"

# cp1252 character of the byte -> Vietnamese letter it must look like.
SHOWN_AS = {
    0x2026: 0x00E0,
    0x0178: 0x01B0,
    0x00E4: 0x1EA7,
    0x00F4: 0x1EDB,
}


def Run(script, *args, env=None):
    return subprocess.run(
        [sys.executable, script] + list(args),
        stdout=subprocess.PIPE,
        stderr=subprocess.PIPE,
        env=env,
    )


def ReadBytes(path):
    with open(path, "rb") as f:
        return f.read()


class SampleFontTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        try:
            from fontTools.ttLib import TTFont
            from fontTools.pens.recordingPen import DecomposingRecordingPen
        except ImportError:
            raise RuntimeError(
                "fontTools is needed (Debian python3-fonttools); run the tests "
                "with the interpreter that has it"
            )
        cls.TTFont = TTFont
        cls.DecomposingRecordingPen = DecomposingRecordingPen
        cls.tmp = tempfile.TemporaryDirectory()
        cls.paths = []
        # Different hash seeds flush out output that depends on set order.
        for seed in ("0", "1"):
            path = os.path.join(cls.tmp.name, "run%s.ttf" % seed)
            env = dict(os.environ, PYTHONHASHSEED=seed)
            result = Run(MAKE_FONT, path, env=env)
            if result.returncode != 0:
                raise RuntimeError("font build failed: %s" % result.stderr.decode())
            cls.paths.append(path)
        cls.font = TTFont(cls.paths[0])

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def UnicodeTables(self):
        tables = [t for t in self.font["cmap"].tables if t.isUnicode()]
        self.assertTrue(tables)
        return tables

    def Outline(self, font, glyph_name):
        glyph_set = font.getGlyphSet()
        pen = self.DecomposingRecordingPen(glyph_set)
        glyph_set[glyph_name].draw(pen)
        return pen.value, font["hmtx"][glyph_name][0]

    def testNewNamesOnBothPlatforms(self):
        name = self.font["name"]
        expected = [
            (1, "Vietnam"),
            (2, "Regular"),
            (3, "Vietnam Regular sample"),
            (4, "Vietnam"),
            (6, "Vietnam"),
            (16, "Vietnam"),
            (17, "Regular"),
        ]
        for platform in ((3, 1, 0x409), (1, 0, 0)):
            for name_id, text in expected:
                with self.subTest(platform=platform, name_id=name_id):
                    record = name.getName(name_id, *platform)
                    self.assertIsNotNone(record)
                    self.assertEqual(text, record.toUnicode())

    def testOnlyLicenceRecordsKeepTheOriginalNames(self):
        name = self.font["name"]
        for record in name.names:
            if record.nameID in (0, 13, 14):
                continue
            text = record.toUnicode().lower()
            for mark in ("dejavu", "bitstream", "vera"):
                self.assertNotIn(mark, text, "name ID %d" % record.nameID)
        # The licence travels with the font.
        for name_id in (0, 13, 14):
            with self.subTest(name_id=name_id):
                self.assertIsNotNone(name.getName(name_id, 3, 1, 0x409))

    def testCp1252CodePointsShowVietnameseLetters(self):
        source = self.TTFont(DEJAVU_SANS)
        source_cmap = source.getBestCmap()
        self.assertEqual(4, self.font["cmap"].getcmap(3, 1).format)
        for table in self.UnicodeTables():
            for shown_at, letter in sorted(SHOWN_AS.items()):
                with self.subTest(table=(table.platformID, table.platEncID), code=hex(shown_at)):
                    self.assertIn(letter, table.cmap, "original mapping lost")
                    self.assertEqual(table.cmap[letter], table.cmap.get(shown_at))
                    # The glyph must still draw the letter, components included.
                    self.assertEqual(
                        self.Outline(source, source_cmap[letter]),
                        self.Outline(self.font, table.cmap[shown_at]),
                    )

    def testEveryMessageCharacterIsMapped(self):
        cmap = self.font["cmap"].getcmap(3, 1).cmap
        missing = [c for c in MESSAGE.decode("cp1252") if ord(c) not in cmap]
        self.assertEqual([], missing)

    def testWindowsMetrics(self):
        os2 = self.font["OS/2"]
        self.assertTrue(os2.ulCodePageRange1 & 1, "Latin 1 code page bit")
        glyf = self.font["glyf"]
        cmap = self.font["cmap"].getcmap(3, 1).cmap
        for char in MESSAGE.decode("cp1252"):
            glyph = glyf[cmap[ord(char)]]
            glyph.recalcBounds(glyf)
            if glyph.numberOfContours:
                with self.subTest(char=char):
                    self.assertLessEqual(glyph.yMax, os2.usWinAscent)
                    self.assertLessEqual(-glyph.yMin, os2.usWinDescent)

    def testReproducible(self):
        self.assertEqual(ReadBytes(self.paths[0]), ReadBytes(self.paths[1]))

    def testMissingSourceIsReported(self):
        with tempfile.TemporaryDirectory() as tmp:
            output = os.path.join(tmp, "out.ttf")
            missing = os.path.join(tmp, "absent.ttf")
            result = Run(MAKE_FONT, output, "--source", missing)
            self.assertNotEqual(0, result.returncode)
            self.assertIn(missing, result.stderr.decode())
            self.assertNotIn("Traceback", result.stderr.decode())
            self.assertFalse(os.path.exists(output))


# Standard Windows 16-colour palette, RGB.
STANDARD_PALETTE = [
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
]


def DecodeIco(data, test):
    """Parse a one-image 32x32 4bpp .ico; return rows of characters as in the source."""
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    test.assertEqual((0, 1, 1), (reserved, kind, count))
    width, height, colours, zero, planes, bpp, size, offset = struct.unpack_from(
        "<BBBBHHII", data, 6
    )
    test.assertEqual((32, 32, 16, 0, 1, 4), (width, height, colours, zero, planes, bpp))
    test.assertEqual(22, offset)
    test.assertEqual(len(data), offset + size)

    header = struct.unpack_from("<IiiHHIIiiII", data, offset)
    # size, width, doubled height, planes, bpp, BI_RGB
    test.assertEqual((40, 32, 64, 1, 4, 0), header[:6])
    test.assertIn(header[9], (0, 16), "palette entries used")
    xor_size, and_size = 32 * 16, 32 * 4
    test.assertEqual(xor_size + and_size, header[6])
    test.assertEqual(40 + 16 * 4 + xor_size + and_size, size)

    palette_at = offset + 40
    palette = []
    for i in range(16):
        b, g, r, pad = struct.unpack_from("<BBBB", data, palette_at + 4 * i)
        test.assertEqual(0, pad)
        palette.append(r << 16 | g << 8 | b)
    test.assertEqual(STANDARD_PALETTE, palette)

    xor_at = palette_at + 64
    and_at = xor_at + xor_size
    rows = []
    for y in range(32):
        stored = 31 - y  # bottom-up
        row = ""
        for x in range(32):
            byte = data[xor_at + stored * 16 + x // 2]
            index = byte >> 4 if x % 2 == 0 else byte & 0x0F
            transparent = data[and_at + stored * 4 + x // 8] & (0x80 >> (x % 8))
            if transparent:
                test.assertEqual(0, index, "transparent pixel must be black in XOR")
                row += "."
            else:
                row += "0123456789ABCDEF"[index]
        rows.append(row)
    return rows


class LauncherIconTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.addCleanup(self.tmp.cleanup)

    def Build(self, source_path, name="out.ico"):
        output = os.path.join(self.tmp.name, name)
        result = Run(MAKE_ICON, source_path, output)
        return result, output

    def WriteSource(self, data, name="src.txt"):
        path = os.path.join(self.tmp.name, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def testIconMatchesItsSource(self):
        result, output = self.Build(ICON_SOURCE)
        self.assertEqual(0, result.returncode, result.stderr.decode())
        with open(ICON_SOURCE) as f:
            expected = f.read().splitlines()
        self.assertEqual(expected, DecodeIco(ReadBytes(output), self))

    def testCornerPixelsLandInTheRightBits(self):
        # Known answers straight from the DIB layout: the top row is stored
        # last, the left pixel is the high nibble / the top mask bit.
        rows = ["." * 32] * 32
        rows[0] = "C" + "." * 30 + "9"
        rows[31] = "F" + "." * 31
        result, output = self.Build(self.WriteSource(("\n".join(rows) + "\n").encode()))
        self.assertEqual(0, result.returncode, result.stderr.decode())
        data = ReadBytes(output)
        xor_at, and_at = 22 + 40 + 64, 22 + 40 + 64 + 512
        self.assertEqual(0xC0, data[xor_at + 31 * 16])
        self.assertEqual(0x09, data[xor_at + 31 * 16 + 15])
        self.assertEqual(0xF0, data[xor_at + 0])
        self.assertEqual(bytes([0x7F, 0xFF, 0xFF, 0xFE]), data[and_at + 31 * 4 : and_at + 32 * 4])
        self.assertEqual(bytes([0x7F, 0xFF, 0xFF, 0xFF]), data[and_at : and_at + 4])

    def testCrlfSourceGivesTheSameIcon(self):
        lf = ReadBytes(ICON_SOURCE)
        crlf = self.WriteSource(lf.replace(b"\n", b"\r\n"))
        _, lf_out = self.Build(ICON_SOURCE, "lf.ico")
        result, crlf_out = self.Build(crlf, "crlf.ico")
        self.assertEqual(0, result.returncode, result.stderr.decode())
        self.assertEqual(ReadBytes(lf_out), ReadBytes(crlf_out))

    def testMalformedSourceIsRejected(self):
        good = ReadBytes(ICON_SOURCE).decode().splitlines()

        def Join(lines):
            return ("\n".join(lines) + "\n").encode()

        def Replace(line_index, line):
            lines = list(good)
            lines[line_index] = line
            return Join(lines)

        cases = [
            ("empty", b""),
            ("31 lines", Join(good[:31])),
            ("33 lines", Join(good + [good[0]])),
            ("short line", Replace(5, good[5][:31])),
            ("long line", Replace(5, good[5] + ".")),
            ("unknown letter", Replace(31, "G" + good[31][1:])),
            ("lower-case hex", Replace(0, "a" + good[0][1:])),
            ("space", Replace(0, " " + good[0][1:])),
            ("tab", Replace(0, "\t" + good[0][1:])),
            ("not ASCII", Replace(0, "\u00e9" + good[0][1:])),
        ]
        for name, data in cases:
            with self.subTest(case=name):
                result, output = self.Build(self.WriteSource(data), name.replace(" ", "_") + ".ico")
                self.assertEqual(1, result.returncode)
                self.assertTrue(result.stderr.startswith(b"make_icon: "), result.stderr)
                self.assertNotIn(b"Traceback", result.stderr)
                self.assertFalse(os.path.exists(output))

    def testReproducible(self):
        _, first = self.Build(ICON_SOURCE, "first.ico")
        _, second = self.Build(ICON_SOURCE, "second.ico")
        self.assertEqual(ReadBytes(first), ReadBytes(second))


if __name__ == "__main__":
    unittest.main()
