#!/usr/bin/python3
"""Build the launcher's .ico from a text pixel map.

Usage: python3 tools/make_icon.py SOURCE.txt OUTPUT.ico

The source is exactly 32 lines of exactly 32 characters.  Each character is
one pixel, top row first:

  0-9, A-F  opaque pixel in that entry of the standard 16-colour palette
  .         transparent pixel (set in the AND mask)

  0 black       4 navy         8 dark grey    C blue
  1 maroon      5 purple       9 red          D magenta
  2 green       6 teal         A lime         E cyan
  3 olive       7 light grey   B yellow       F white

The output is one 32 x 32, 4 bits-per-pixel image, the form every Windows
version since 3.0 can show, and it is the same bytes on every run.
"""

import struct
import sys

SIZE = 32
BITS_PER_PIXEL = 4
TRANSPARENT = "."

# Standard Windows 16-colour palette as (red, green, blue), in index order.
PALETTE = (
    (0x00, 0x00, 0x00),
    (0x80, 0x00, 0x00),
    (0x00, 0x80, 0x00),
    (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80),
    (0x80, 0x00, 0x80),
    (0x00, 0x80, 0x80),
    (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80),
    (0xFF, 0x00, 0x00),
    (0x00, 0xFF, 0x00),
    (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF),
    (0xFF, 0x00, 0xFF),
    (0x00, 0xFF, 0xFF),
    (0xFF, 0xFF, 0xFF),
)

PIXEL_CODES = "0123456789ABCDEF"

ICONDIR_SIZE = 6
ICONDIRENTRY_SIZE = 16
BITMAPINFOHEADER_SIZE = 40


class PixelMapError(Exception):
    pass


def RowBytes(width, bits_per_pixel):
    """Bytes per bitmap row, padded to a 4-byte boundary as DIBs require."""
    return (width * bits_per_pixel + 31) // 32 * 4


def ParsePixelMap(data):
    """Return SIZE rows of SIZE entries: a palette index, or None if transparent."""
    try:
        text = data.decode("ascii")
    except UnicodeDecodeError as e:
        raise PixelMapError("byte %d is not ASCII" % e.start)
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    lines = [line[:-1] if line.endswith("\r") else line for line in lines]
    if len(lines) != SIZE:
        raise PixelMapError("expected %d lines, found %d" % (SIZE, len(lines)))
    rows = []
    for line_no, line in enumerate(lines, 1):
        if len(line) != SIZE:
            raise PixelMapError(
                "line %d: expected %d pixels, found %d" % (line_no, SIZE, len(line))
            )
        row = []
        for column, char in enumerate(line, 1):
            if char == TRANSPARENT:
                row.append(None)
            elif char in PIXEL_CODES:
                row.append(PIXEL_CODES.index(char))
            else:
                raise PixelMapError(
                    "line %d, column %d: unknown pixel %r (use 0-9, A-F or %s)"
                    % (line_no, column, char, TRANSPARENT)
                )
        rows.append(row)
    return rows


def BuildIco(rows):
    xor_row_bytes = RowBytes(SIZE, BITS_PER_PIXEL)
    and_row_bytes = RowBytes(SIZE, 1)

    xor_bitmap = bytearray()
    and_mask = bytearray()
    # DIB rows are stored bottom-up.
    for row in reversed(rows):
        xor_row = bytearray(xor_row_bytes)
        and_row = bytearray(and_row_bytes)
        for x, index in enumerate(row):
            if index is None:
                # Black under a set mask bit leaves the screen unchanged.
                and_row[x // 8] |= 0x80 >> (x % 8)
            else:
                xor_row[x // 2] |= index << (4 if x % 2 == 0 else 0)
        xor_bitmap += xor_row
        and_mask += and_row

    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    info_header = struct.pack(
        "<IiiHHIIiiII",
        BITMAPINFOHEADER_SIZE,
        SIZE,
        SIZE * 2,  # the XOR image and the AND mask stacked
        1,
        BITS_PER_PIXEL,
        0,  # BI_RGB
        len(xor_bitmap) + len(and_mask),
        0,
        0,
        0,  # all 2^bpp palette entries
        0,
    )
    image = info_header + palette + bytes(xor_bitmap) + bytes(and_mask)

    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack(
        "<BBBBHHII",
        SIZE,
        SIZE,
        len(PALETTE),
        0,
        1,
        BITS_PER_PIXEL,
        len(image),
        ICONDIR_SIZE + ICONDIRENTRY_SIZE,
    )
    return directory + entry + image


def Main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_icon.py SOURCE.txt OUTPUT.ico\n")
        return 2
    source, output = argv
    try:
        with open(source, "rb") as f:
            data = f.read()
    except OSError as e:
        sys.stderr.write("make_icon: cannot read %s (%s)\n" % (source, e.strerror or e))
        return 1
    try:
        rows = ParsePixelMap(data)
    except PixelMapError as e:
        sys.stderr.write("make_icon: %s: %s\n" % (source, e))
        return 1
    ico = BuildIco(rows)
    try:
        with open(output, "wb") as f:
            f.write(ico)
    except OSError as e:
        sys.stderr.write("make_icon: cannot write %s (%s)\n" % (output, e.strerror or e))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(Main(sys.argv[1:]))
