#!/usr/bin/python3
"""Makes the small TrueType fonts the converter's cases need.

  make_font.py KIND OUT.ttf

KIND is one of
  blanks       A and U+10000 (the first code past the table) a square; B,
               the space and U+3000 empty glyphs
  nothing      A and B empty glyphs
  astral-only  only U+20000, a square
  absurd       unitsPerEm 16, A and B squares of 10,000 units
  em-squares   A, B and 0 squares of the whole em, from the descent up
  wide         A a square of 700 units, U+2014 a bar 1.6 em wide
  pair         a collection of two faces, "Case pair" Regular (A a square)
               and Bold (A and B squares)
  many-faces   a collection of 300,000 faces (9.6 MB): "Case many" Regular
               (A, and U+4E00-U+9FFF, a square) at every even offset of the
               collection's list, Bold (A and B) at every odd one
  faces-shared a collection of three faces, the first two at one offset
  many-fonts   a collection of 1,100 different fonts (their tables shared)
  pcf-newline  a PCF font whose FAMILY_NAME holds a newline and a tab, and
               whose FOUNDRY a carriage return (OUT.pcf): A an 8 x 8 square
  strokes      A two upright bars 1.4 px wide at 10 px, 1 px apart; B the
               same lying down
  chain        A, B, C, D and E boxes 400 units wide and 600 tall, 100 above
               the baseline (8 x 12 px, 2 above the baseline, at 20 px),
               U+FF5E, U+301C and U+30FB boxes 500 wide and 200 tall on the
               baseline: a fallback for the bitmap fonts below
  faces        a collection of three faces: "Case faces Latin" (B, a square
               of 650 units, and C), "Case faces JP" (B, U+4E00, U+4E8C and
               U+4E09 boxes 300 units wide) and "Case faces SC" (the same,
               600 wide)
  blocks       a BDF font (OUT.bdf) of 16 px in ISO 10646: A, B, C and D
               blocks 9 px wide standing on the baseline, A and B 12 rows
               tall, C and D 13
  squat        U+4E00-U+51FF a block 0.9 em wide and 0.7 tall, from 0.05
               em under the baseline; A a square of 0.7 em on it
  tables-N     A in each of the character maps of TABLES[N] below, each
               giving it another glyph: a box 100, 200, ... units wide
KIND may also be a BDF font of BITMAP_FONTS below (OUT.bdf), whose glyph N
(from 1) is a bar N pixels wide.
Needs fontTools (Debian: python3-fonttools).
"""
import sys

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen


def draw_box(pen, x0, y0, x1, y1):
    pen.moveTo((x0, y0))
    pen.lineTo((x0, y1))
    pen.lineTo((x1, y1))
    pen.lineTo((x1, y0))
    pen.closePath()


def box(x0, y0, x1, y1):
    pen = TTGlyphPen(None)
    draw_box(pen, x0, y0, x1, y1)
    return pen.glyph()


def square(size, low=0):
    return box(low, low, size, size)


def empty():
    return TTGlyphPen(None).glyph()


def two_bars(across):
    """Two bars 140 units thick, 100 apart, 700 long: upright, or lying
    down when `across`."""
    pen = TTGlyphPen(None)
    for low in (100, 340):
        draw_box(pen, *((0, low, 700, low + 140) if across else (low, 0, low + 140, 700)))
    return pen.glyph()


# Character maps as (platform, encoding) pairs, for the kinds tables-N.
TABLES = {"1": [(0, 0), (0, 1)], "2": [(0, 1), (3, 1)], "3": [(0, 3), (0, 1)],
          "4": [(3, 1), (3, 10)], "5": [(1, 0)]}


def with_tables(builder, tables):
    """Replaces the character maps with one for each (platform, encoding)
    of `tables`, the i-th giving A the glyph "wI"."""
    from fontTools.ttLib.tables._c_m_a_p import CmapSubtable

    subtables = []
    for i, (platform, encoding) in enumerate(tables):
        subtable = CmapSubtable.newSubtable(12 if encoding == 10 else 4)
        subtable.platformID, subtable.platEncID, subtable.language = platform, encoding, 0
        subtable.cmap = {0x41: "w%d" % (i + 1)}
        subtables.append(subtable)
    builder.font["cmap"].tables = subtables


def build(kind, style="Regular"):
    em = 1000
    if kind.startswith("tables-") and kind[7:] in TABLES:
        count = len(TABLES[kind[7:]])
        glyphs = {"w%d" % i: box(0, 0, 100 * i, 700) for i in range(1, count + 1)}
        cmap = {0x41: "w1"}
    elif kind == "blanks":
        glyphs = {"A": square(700), "B": empty(), "space": empty(),
                  "ideospace": empty(), "astral": square(700)}
        cmap = {0x41: "A", 0x42: "B", 0x20: "space", 0x3000: "ideospace", 0x10000: "astral"}
    elif kind == "nothing":
        glyphs = {"A": empty(), "B": empty()}
        cmap = {0x41: "A", 0x42: "B"}
    elif kind == "astral-only":
        glyphs = {"astral": square(700)}
        cmap = {0x20000: "astral"}
    elif kind == "em-squares":
        glyphs = {"A": box(0, -200, 1000, 800), "B": box(0, -200, 1000, 800),
                  "zero": box(0, -200, 1000, 800)}
        cmap = {0x41: "A", 0x42: "B", 0x30: "zero"}
    elif kind == "wide":
        glyphs = {"A": square(700), "dash": box(0, 0, 1600, 300)}
        cmap = {0x41: "A", 0x2014: "dash"}
    elif kind == "squat":
        glyphs = {"A": square(700), "han": box(0, -50, 900, 650)}
        cmap = {0x41: "A"}
        cmap.update({code: "han" for code in range(0x4E00, 0x5200)})
    elif kind == "strokes":
        glyphs = {"A": two_bars(False), "B": two_bars(True)}
        cmap = {0x41: "A", 0x42: "B"}
    elif kind == "chain":
        glyphs = {c: box(0, 100, 400, 700) for c in "ABCDE"}
        glyphs.update({"tilde": box(0, 0, 500, 200), "wave": box(0, 0, 500, 200),
                       "dot": box(0, 0, 500, 200)})
        cmap = {ord(c): c for c in "ABCDE"}
        cmap.update({0xFF5E: "tilde", 0x301C: "wave", 0x30FB: "dot"})
    elif kind == "faces" and style == "Latin":
        glyphs = {"B": square(650), "C": square(500)}
        cmap = {0x42: "B", 0x43: "C"}
    elif kind == "faces":
        wide = 300 if style == "JP" else 600
        glyphs = {"B": square(650), "one": box(0, 0, wide, 700), "two": box(0, 0, wide, 700),
                  "three": box(0, 0, wide, 700)}
        cmap = {0x42: "B", 0x4E00: "one", 0x4E8C: "two", 0x4E09: "three"}
    elif kind == "pair" and style == "Regular":
        glyphs = {"A": square(700)}
        cmap = {0x41: "A"}
    elif kind == "pair":
        glyphs = {"A": square(700), "B": square(600)}
        cmap = {0x41: "A", 0x42: "B"}
    elif kind == "absurd":
        em = 16
        glyphs = {"A": square(10000), "B": square(10000, -5000)}
        cmap = {0x41: "A", 0x42: "B"}
    else:
        sys.exit("make_font.py: unknown kind " + kind)
    order = [".notdef"] + list(glyphs)
    glyphs[".notdef"] = empty()
    builder = FontBuilder(em, isTTF=True)
    builder.setupGlyphOrder(order)
    builder.setupCharacterMap(cmap)
    builder.setupGlyf(glyphs)
    builder.setupHorizontalMetrics({name: (em, 0) for name in order})
    builder.setupHorizontalHeader(ascent=em * 8 // 10, descent=-(em * 2 // 10))
    if kind == "faces":
        builder.setupNameTable({"familyName": "Case faces " + style, "styleName": "Regular"})
    else:
        builder.setupNameTable({"familyName": "Case " + kind, "styleName": style})
    builder.setupOS2(sTypoAscender=em * 8 // 10, usWinAscent=em * 8 // 10,
                     usWinDescent=em * 2 // 10)
    builder.setupPost()
    if kind.startswith("tables-"):
        with_tables(builder, TABLES[kind[7:]])
    return builder


# BDF fonts: KIND: (CHARSET_REGISTRY, CHARSET_ENCODING, FAMILY_NAME or None,
# pixel size, codes).
BITMAP_FONTS = {
    # The codes other tables read otherwise; 0x3021 and 0x7426 ideographs of
    # level 1 and of 1990; 0x222F undefined by the table; 0x7521 outside the
    # charset.
    "jis": ("JISX0208.1983", "0", "Case jis", 16,
            [0x2141, 0x2142, 0x215D, 0x2171, 0x2172, 0x224C, 0x3021, 0x7426, 0x222F, 0x7521]),
    # Middle dot and dash; 0x3021 an ideograph; 0x2A21 undefined (a row of
    # GB 8565); 0x7A21 outside GB 2312.
    "gb": ("GB2312.1980", "0", "Case gb", 16, [0x2124, 0x212A, 0x3021, 0x2A21, 0x7A21]),
    # Middle dot, the first Hangul syllable and the first hanja; 0x2F21
    # undefined.
    "ksc": ("KSC5601.1987", "0", "Case ksc", 16, [0x2124, 0x3021, 0x4A21, 0x2F21]),
    # 0xA2A4 and 0xF9F9 both U+2550; 0xA47F undefined; 0xFA40 outside.
    "big5": ("BIG5", "0", "Case big5", 16, [0xA440, 0xA141, 0xA2A4, 0xF9F9, 0xA47F, 0xFA40]),
    # ASCII's letters kept, yen and overline, a half-width katakana; 0xE0
    # outside.
    "jisx0201": ("JISX0201.1976", "0", "Case jisx0201", 16, [0x41, 0x5C, 0x7E, 0xB1, 0xE0]),
    # ASCII without a family name, to its last code; 0x80 outside.
    "ascii": ("ISO646.1991", "IRV", None, 16, [0x41, 0x7F, 0x80]),
    # Latin-1 to its last code; 0x100 outside.
    "latin1": ("ISO8859", "1", "Case latin1", 16, [0xFF, 0x100]),
    # A and Unicode's last code, inside the charset but past the table.
    "unicode": ("ISO10646", "1", "Case unicode", 16, [0x41, 0x10FFFF]),
    "koi8": ("KOI8", "R", "Case koi8", 16, [0x41]),
    "cns": ("CNS11643.1992", "1", "Case cns", 16, [0x4421]),
    "jisc": ("JISC6226.1978", "0", "Case jisc", 16, [0x3021]),
    # Only a size outside those the converter tries.
    "large": ("ISO10646", "1", "Case large", 32, [0x41]),
}


def bitmap_font(kind, path):
    registry, encoding, family, size, codes = BITMAP_FONTS[kind]
    properties = ['CHARSET_REGISTRY "%s"' % registry, 'CHARSET_ENCODING "%s"' % encoding,
                  "PIXEL_SIZE %d" % size]
    if family is not None:
        properties.append('FAMILY_NAME "%s"' % family)
    lines = ["STARTFONT 2.1", "FONT -case-%s-medium-r-normal--%d-%d-75-75-c-%d-%s-%s"
             % (kind, size, size * 10, size * 10, registry, encoding),
             "SIZE %d 75 75" % size, "FONTBOUNDINGBOX %d %d 0 -2" % (size, size),
             "STARTPROPERTIES %d" % len(properties)] + properties
    lines += ["ENDPROPERTIES", "CHARS %d" % len(codes)]
    for number, code in enumerate(codes, 1):
        bar = (1 << 16) - (1 << (16 - number))  # `number` pixels from the left
        lines += ["STARTCHAR %04X" % code, "ENCODING %d" % code, "SWIDTH 960 0",
                  "DWIDTH %d 0" % size, "BBX 16 1 0 0", "BITMAP", "%04X" % bar, "ENDCHAR"]
    with open(path, "w") as out:
        out.write("\n".join(lines + ["ENDFONT", ""]))


def block_font(path):
    """A 16 px BDF font in ISO 10646 of A, B, C and D, each a block 9 px wide
    standing on the baseline, A and B 12 rows tall, C and D 13."""
    lines = ["STARTFONT 2.1", "FONT -case-blocks-medium-r-normal--16-160-75-75-c-160-iso10646-1",
             "SIZE 16 75 75", "FONTBOUNDINGBOX 16 16 0 -2", "STARTPROPERTIES 4",
             'CHARSET_REGISTRY "ISO10646"', 'CHARSET_ENCODING "1"', "PIXEL_SIZE 16",
             'FAMILY_NAME "Case blocks"', "ENDPROPERTIES", "CHARS 4"]
    for code in b"ABCD":
        rows = 12 if code < ord("C") else 13
        lines += ["STARTCHAR %c" % code, "ENCODING %d" % code, "SWIDTH 960 0", "DWIDTH 16 0",
                  "BBX 9 %d 0 0" % rows, "BITMAP"] + ["FF80"] * rows + ["ENDCHAR"]
    with open(path, "w") as out:
        out.write("\n".join(lines + ["ENDFONT", ""]))


def collection(fonts, offsets_of, count, path):
    """A collection of `count` faces: face i is font offsets_of(i) of `fonts`
    (TTFont objects), each stored once."""
    import io
    import struct

    blobs = []
    for font in fonts:
        data = io.BytesIO()
        font.save(data)
        blobs.append(data.getvalue())
    header = 12 + 4 * count
    starts, at = [], header
    for blob in blobs:
        starts.append(at)
        at += (len(blob) + 3) // 4 * 4
    out = bytearray(struct.pack(">4sII", b"ttcf", 0x10000, count))
    out += struct.pack(">%dI" % count, *(starts[offsets_of(i)] for i in range(count)))
    for blob, start in zip(blobs, starts):
        tables = struct.unpack(">H", blob[4:6])[0]
        moved = bytearray(blob)
        for t in range(tables):  # table offsets count from the collection's start
            record = 12 + 16 * t + 8
            struct.pack_into(">I", moved, record, struct.unpack(">I", blob[record:record + 4])[0] + start)
        out += moved + b"\0" * (-len(moved) % 4)
    # FreeType takes a collection to need 32 bytes a face at least.
    out += b"\0" * max(0, 32 * count - len(out))
    with open(path, "wb") as file:
        file.write(out)


def copied_directories(font, count, path):
    """A collection of `count` faces, each its own copy of the font's table
    directory (with its own checksum of the first table), the tables shared."""
    import io
    import struct

    data = io.BytesIO()
    font.save(data)
    blob = data.getvalue()
    length = 12 + 16 * struct.unpack(">H", blob[4:6])[0]
    base = 12 + 4 * count + length * count  # where the tables go
    out = bytearray(struct.pack(">4sII", b"ttcf", 0x10000, count))
    out += struct.pack(">%dI" % count, *(12 + 4 * count + length * i for i in range(count)))
    for i in range(count):
        directory = bytearray(blob[:length])
        for t in range((length - 12) // 16):
            record = 12 + 16 * t + 8
            struct.pack_into(">I", directory, record,
                             struct.unpack(">I", blob[record:record + 4])[0] + base)
        struct.pack_into(">I", directory, 16, i)
        out += directory
    out += blob
    with open(path, "wb") as file:
        file.write(out)


def pcf_font(path, properties):
    """A PCF font of one glyph, A, an 8 x 8 square, with these properties
    (name: string or number), all tables least significant byte first."""
    import struct

    names, values, strings = [], [], bytearray()
    for name, value in properties.items():
        names.append(len(strings))
        strings += name.encode() + b"\0"
        values.append(value)
    props = bytearray(struct.pack("<II", 0, len(properties)))
    for offset, value in zip(names, values):
        if isinstance(value, str):
            props += struct.pack("<IbI", offset, 1, len(strings))
            strings += value.encode() + b"\0"
        else:
            props += struct.pack("<IbI", offset, 0, value)
    props += b"\0" * (-len(properties) % 4) + struct.pack("<I", len(strings)) + strings
    metric = struct.pack("<hhhhhH", 0, 8, 8, 8, 0, 0)  # left, right, width, ascent, descent
    accelerators = struct.pack("<I8BiiI", 0, 1, 1, 0, 1, 1, 0, 0, 0, 8, 0, 0) + metric * 2
    metrics = struct.pack("<II", 0, 1) + metric
    # Rows padded to 4 bytes (the format's default), most significant bit and
    # byte first: format 0x0C.
    bitmaps = struct.pack("<I", 0x0C) + struct.pack(">II", 1, 0) + struct.pack(">4I", 8, 16, 32, 32)
    bitmaps += b"\xff\0\0\0" * 8
    encodings = struct.pack("<IhhhhH", 0, 0x41, 0x41, 0, 0, 0) + struct.pack("<H", 0)
    tables = [(1, props), (2, accelerators), (4, metrics), (8, bitmaps), (32, encodings)]
    out = bytearray(struct.pack("<4sI", b"\x01fcp", len(tables)))
    at = 8 + 16 * len(tables)
    for kind, data in tables:
        fmt = struct.unpack("<I", data[:4])[0]
        out += struct.pack("<IIII", kind, fmt, len(data), at)
        at += (len(data) + 3) // 4 * 4
    for kind, data in tables:
        out += data + b"\0" * (-len(data) % 4)
    with open(path, "wb") as file:
        file.write(out)


def many_codes(style):
    builder = build("pair", style)
    if style == "Regular":
        builder.font["cmap"].tables[0].cmap.update({code: "A" for code in range(0x4E00, 0xA000)})
        builder.font["cmap"].tables[0].format = 4
    builder.font["name"].setName("Case many", 1, 3, 1, 0x409)
    return builder.font


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "pcf-newline":
        pcf_font(sys.argv[2], {"FOUNDRY": "Case\r", "FAMILY_NAME": "Case\nSTARTCHAR x\tfamily",
                               "CHARSET_REGISTRY": "ISO10646", "CHARSET_ENCODING": "1",
                               "PIXEL_SIZE": 8, "POINT_SIZE": 80, "RESOLUTION_X": 75,
                               "RESOLUTION_Y": 75})
        sys.exit(0)
    if len(sys.argv) == 3 and sys.argv[1] == "blocks":
        block_font(sys.argv[2])
        sys.exit(0)
    if len(sys.argv) == 3 and sys.argv[1] == "faces":
        fonts = [build("faces", style).font for style in ("Latin", "JP", "SC")]
        collection(fonts, lambda i: i, 3, sys.argv[2])
        sys.exit(0)
    if len(sys.argv) == 3 and sys.argv[1] in BITMAP_FONTS:
        bitmap_font(sys.argv[1], sys.argv[2])
        sys.exit(0)
    if len(sys.argv) == 3 and sys.argv[1] == "many-faces":
        collection([many_codes("Regular"), many_codes("Bold")], lambda i: i % 2, 300000,
                   sys.argv[2])
        sys.exit(0)
    if len(sys.argv) == 3 and sys.argv[1] == "many-fonts":
        copied_directories(build("pair", "Bold").font, 1100, sys.argv[2])
        sys.exit(0)
    if len(sys.argv) == 3 and sys.argv[1] == "faces-shared":
        fonts = [build("pair", style).font for style in ("Regular", "Bold")]
        collection(fonts, lambda i: 0 if i < 2 else 1, 3, sys.argv[2])
        sys.exit(0)
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    if sys.argv[1] == "pair":
        from fontTools.ttLib import TTFont
        from fontTools.ttLib.ttCollection import TTCollection

        collection = TTCollection()
        for style in ("Regular", "Bold"):
            build("pair", style).save(sys.argv[2])
            collection.fonts.append(TTFont(sys.argv[2]))
        collection.save(sys.argv[2])
    else:
        build(sys.argv[1]).save(sys.argv[2])
