"""Checks the launcher's compiled resources (the .res file that windres makes
from launcher.rc) against the dialog and icon that the launcher must carry.

Usage: python3 test_resources.py LAUNCHER.res
"""
import struct
import sys
import unittest

RES_PATH = None

RT_ICON, RT_DIALOG, RT_GROUP_ICON = 3, 5, 14
ENGLISH_US = 0x0409

WS_CHILD, WS_VISIBLE = 0x40000000, 0x10000000
WS_GROUP, WS_TABSTOP = 0x00020000, 0x00010000
BS_PUSHBUTTON, BS_DEFPUSHBUTTON = 0x0, 0x1
SS_CENTER, SS_ICON = 0x1, 0x3
BUTTON, STATIC = 0x80, 0x82


def read_name(data, offset):
    """A name or ordinal as resources store it; returns (value, next offset)."""
    (first,) = struct.unpack_from("<H", data, offset)
    if first == 0xFFFF:
        return struct.unpack_from("<H", data, offset + 2)[0], offset + 4
    end = offset
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[offset:end].decode("utf-16-le"), end + 2


def align(offset, boundary=4):
    return (offset + boundary - 1) // boundary * boundary


def read_resources(path):
    with open(path, "rb") as f:
        data = f.read()
    resources = {}
    offset = 0
    while offset < len(data):
        data_size, header_size = struct.unpack_from("<II", data, offset)
        kind, at = read_name(data, offset + 8)
        name, at = read_name(data, at)
        at = align(at)
        _, _, language, _, _ = struct.unpack_from("<IHHII", data, at)
        body = data[offset + header_size:offset + header_size + data_size]
        if data_size:
            resources[(kind, name)] = (language, body)
        offset = align(offset + header_size + data_size)
    return resources


def read_dialog(body):
    style, ex_style, count, x, y, cx, cy = struct.unpack_from("<IIHhhhh", body, 0)
    menu, at = read_name(body, 18)
    window_class, at = read_name(body, at)
    caption, at = read_name(body, at)
    (points,) = struct.unpack_from("<H", body, at)
    face, at = read_name(body, at + 2)
    dialog = dict(style=style, ex_style=ex_style, rect=(x, y, cx, cy), menu=menu,
                  window_class=window_class, caption=caption, font=(points, face), items=[])
    for _ in range(count):
        at = align(at)
        style, ex_style, x, y, cx, cy, control_id = struct.unpack_from("<IIhhhhH", body, at)
        control_class, at = read_name(body, at + 18)
        text, at = read_name(body, at)
        (extra,) = struct.unpack_from("<H", body, at)
        at += 2 + extra
        dialog["items"].append(dict(style=style, ex_style=ex_style, rect=(x, y, cx, cy),
                                    id=control_id, control_class=control_class, text=text))
    return dialog


class LauncherResources(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.resources = read_resources(RES_PATH)

    def test_dialog_template(self):
        language, body = self.resources[(RT_DIALOG, 104)]
        self.assertEqual(ENGLISH_US, language)
        dialog = read_dialog(body)
        self.assertEqual(0xC800C4, dialog["style"], hex(dialog["style"]))
        self.assertEqual(0, dialog["ex_style"])
        self.assertEqual((22, 17, 254, 44), dialog["rect"])
        self.assertEqual(("", "", " Lumenor Scrivo Installer"),
                         (dialog["menu"], dialog["window_class"], dialog["caption"]))
        self.assertEqual((8, "MS Sans Serif"), dialog["font"])

        shown = WS_CHILD | WS_VISIBLE
        expected = [
            (1, BUTTON, "&Install", (205, 2, 45, 15),
             shown | BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP),
            (1001, STATIC, "", (31, 13, 164, 18), shown | SS_CENTER | WS_GROUP),
            (0xFFFF, STATIC, 107, (9, 11, 20, 20), shown | SS_ICON),
            (2, BUTTON, "&Cancel", (205, 20, 45, 15),
             shown | BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP),
        ]
        actual = [(item["id"], item["control_class"], item["text"], item["rect"], item["style"])
                  for item in dialog["items"]]
        for want, got in zip(expected, actual):
            self.assertEqual(want, got, "control %d: style %#x" % (want[0], got[4]))
        self.assertEqual(len(expected), len(actual))
        self.assertTrue(all(item["ex_style"] == 0 for item in dialog["items"]))

    def test_icon_is_one_32_by_32_image_in_16_colours(self):
        language, group = self.resources[(RT_GROUP_ICON, 107)]
        self.assertEqual(ENGLISH_US, language)
        reserved, kind, count = struct.unpack_from("<HHH", group, 0)
        self.assertEqual((0, 1, 1), (reserved, kind, count))
        width, height, colours, _, planes, bits, size, icon_id = struct.unpack_from(
            "<BBBBHHIH", group, 6)
        self.assertEqual((32, 32, 16, 1, 4), (width, height, colours, planes, bits))
        _, image = self.resources[(RT_ICON, icon_id)]
        self.assertEqual(size, len(image))
        header_size, bmp_width, bmp_height, _, bmp_bits = struct.unpack_from("<IiiHH", image, 0)
        self.assertEqual((40, 32, 64, 4), (header_size, bmp_width, bmp_height, bmp_bits))


if __name__ == "__main__":
    RES_PATH = sys.argv.pop(1)
    unittest.main()
