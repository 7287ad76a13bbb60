#!/usr/bin/python3
"""Build the CD's sample TrueType font "Vietnam" from DejaVu Sans.

Usage: python3 tools/make_sample_font.py OUTPUT.ttf [--source DejaVuSans.ttf]

The launcher shows its Vietnamese message as 8-bit text, which Windows
decodes through code page 1252 before looking glyphs up in the font.  Four
of the bytes in that message would come out as Western European characters,
so the font maps those cp1252 characters to the glyphs of the Vietnamese
letters instead.  Everything else is the unchanged DejaVu Sans outlines,
renamed as the Bitstream Vera licence requires for a modified font, and
subset to keep the CD image small.

The output depends only on the source font: the same input gives the same
bytes on every run.
"""

import argparse
import io
import sys

try:
    from fontTools import subset
    from fontTools.ttLib import TTFont
except ImportError:
    sys.stderr.write(
        "make_sample_font: the Python module fontTools is missing "
        "(Debian package python3-fonttools)\n"
    )
    sys.exit(2)

DEFAULT_SOURCE = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"

FAMILY = "Vietnam"
SUBFAMILY = "Regular"
FULL_NAME = "Vietnam"
POSTSCRIPT_NAME = "Vietnam"
UNIQUE_ID = "Vietnam Regular sample"

# cp1252 character the launcher's byte decodes to -> Vietnamese letter that
# must appear in its place.
#   0x85 -> U+2026 shows U+00E0 (a grave)
#   0x9F -> U+0178 shows U+01B0 (u horn)
#   0xE4 -> U+00E4 shows U+1EA7 (a circumflex grave)
#   0xF4 -> U+00F4 shows U+1EDB (o horn acute)
VIETNAMESE_AT = {
    0x2026: 0x00E0,
    0x0178: 0x01B0,
    0x00E4: 0x1EA7,
    0x00F4: 0x1EDB,
}

PRINTABLE_ASCII = range(0x20, 0x7F)

# The licence asks for the copyright (0), licence description (13) and
# licence URL (14) to travel with the font; they name the original authors
# on purpose and are kept verbatim.
KEPT_LICENCE_NAME_IDS = (0, 13, 14)

NEW_NAMES = {
    1: FAMILY,
    2: SUBFAMILY,
    3: UNIQUE_ID,
    4: FULL_NAME,
    6: POSTSCRIPT_NAME,
    16: FAMILY,
    17: SUBFAMILY,
}

# Marks of the original name that must not survive outside the licence
# records (the licence forbids "Bitstream" and "Vera" in a modified font's
# names; "DejaVu" is the family being replaced).
OLD_NAME_MARKS = ("dejavu", "bitstream", "vera")

# 2001-01-01T00:00:00Z in seconds since 1904-01-01, the epoch of head's
# dates.  A constant keeps the output independent of the build time.
FIXED_TIMESTAMP = 3061152000

CP1252_LATIN1_BIT = 1 << 0


def Fail(message):
    sys.stderr.write("make_sample_font: %s\n" % message)
    sys.exit(1)


def LoadSource(path):
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError as e:
        Fail(
            "cannot read the source font %s (%s); install the Debian "
            "package fonts-dejavu-core" % (path, e.strerror or e)
        )
    try:
        return TTFont(io.BytesIO(data), recalcTimestamp=False)
    except Exception as e:  # fontTools raises assorted types on bad data
        Fail("%s is not a usable TrueType font (%s)" % (path, e))


def Subset(font):
    options = subset.Options()
    # Keep every name record, Mac ones too; renaming happens afterwards and
    # must see the licence records, which the default would discard.
    options.name_IDs = ["*"]
    options.name_languages = ["*"]
    options.name_legacy = True
    # A visible box for characters the font lacks beats silent blanks.
    options.notdef_outline = True
    # Real glyph names make the font readable in font tools; GDI ignores them.
    options.glyph_names = True
    options.drop_tables += ["FFTM", "MATH"]
    subsetter = subset.Subsetter(options)
    subsetter.populate(unicodes=list(PRINTABLE_ASCII) + sorted(VIETNAMESE_AT.values()))
    subsetter.subset(font)


def Remap(font):
    cmap = font["cmap"]
    unicode_tables = [t for t in cmap.tables if t.isUnicode()]
    if not unicode_tables:
        Fail("the source font has no Unicode cmap")
    best = font.getBestCmap()
    for shown_at, letter in sorted(VIETNAMESE_AT.items()):
        glyph = best.get(letter)
        if glyph is None:
            Fail("the source font has no glyph for U+%04X" % letter)
        for table in unicode_tables:
            table.cmap[shown_at] = glyph


def Rename(font):
    name = font["name"]
    had_mac = any(r.platformID == 1 for r in name.names)
    kept = []
    for record in name.names:
        if record.nameID in NEW_NAMES:
            continue
        if record.nameID not in KEPT_LICENCE_NAME_IDS:
            text = record.toUnicode().lower()
            if any(mark in text for mark in OLD_NAME_MARKS):
                # Vendor, designer and URL records of the original.
                continue
        kept.append(record)
    name.names = kept
    for name_id, text in sorted(NEW_NAMES.items()):
        name.setName(text, name_id, 3, 1, 0x409)
        if had_mac:
            name.setName(text, name_id, 1, 0, 0)


def FixMetrics(font):
    os2 = font["OS/2"]
    # Wine only offers a font for ANSI_CHARSET when it claims Latin 1; the
    # other code pages the source claimed are gone with the subsetting.
    os2.ulCodePageRange1 = CP1252_LATIN1_BIT
    os2.ulCodePageRange2 = 0
    os2.recalcUnicodeRanges(font)

    # GDI clips at usWinAscent/usWinDescent; stacked Vietnamese accents must
    # stay inside them.
    y_max, y_min = GlyphExtremes(font)
    os2.usWinAscent = max(os2.usWinAscent, y_max)
    os2.usWinDescent = max(os2.usWinDescent, -y_min)

    head = font["head"]
    head.created = FIXED_TIMESTAMP
    head.modified = FIXED_TIMESTAMP


def GlyphExtremes(font):
    """Vertical extent of every glyph that can be drawn on its own.

    Accent pieces used only inside composites sit high in their own
    coordinates and are shifted down where used, so they do not count.
    """
    glyf = font["glyf"]
    mapped = set(font.getBestCmap().values())
    components = set()
    for glyph_name in font.getGlyphOrder():
        glyph = glyf[glyph_name]
        if glyph.isComposite():
            components.update(c.glyphName for c in glyph.components)
    y_max, y_min = 0, 0
    for glyph_name in font.getGlyphOrder():
        if glyph_name in components and glyph_name not in mapped:
            continue
        glyph = glyf[glyph_name]
        glyph.recalcBounds(glyf)
        if glyph.numberOfContours:
            y_max = max(y_max, glyph.yMax)
            y_min = min(y_min, glyph.yMin)
    return y_max, y_min


def Build(source_path):
    font = LoadSource(source_path)
    Subset(font)
    Remap(font)
    Rename(font)
    FixMetrics(font)
    out = io.BytesIO()
    font.recalcTimestamp = False
    font.save(out)
    return out.getvalue()


def Main(argv):
    parser = argparse.ArgumentParser(description="Build the sample font Vietnam.")
    parser.add_argument("output", help="TrueType file to write")
    parser.add_argument("--source", default=DEFAULT_SOURCE, help="DejaVu Sans to start from")
    args = parser.parse_args(argv)
    data = Build(args.source)
    try:
        with open(args.output, "wb") as f:
            f.write(data)
    except OSError as e:
        Fail("cannot write %s (%s)" % (args.output, e.strerror or e))
    return 0


if __name__ == "__main__":
    sys.exit(Main(sys.argv[1:]))
