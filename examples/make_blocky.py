#!/usr/bin/env python3
"""Writes the example font blocky.bdf and its code map dump blocky-cmap.txt,
and the same font as a TrueType font, blocky.ttf (with fontTools, Debian's
python3-fonttools), drawn in squares of 100 units on a 1,400-unit em so that at
14 pixels per em each square is one pixel.

The glyphs are drawn here on a 5 x 7 grid and doubled in both directions, so
the capitals and digits are 10 x 14 pixel glyphs (rows of four hex digits);
the punctuation glyphs use tight boxes of their own (rows of two hex digits).
Glyph names carry the glyph IDs the code map refers to.
"""

import pathlib
import re

GLYPHS = {
    "0": [".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."],
    "1": ["..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "2": [".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"],
    "3": ["#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."],
    "4": ["...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."],
    "5": ["#####", "#....", "####.", "....#", "....#", "#...#", ".###."],
    "6": ["..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."],
    "7": ["#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."],
    "8": [".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."],
    "9": [".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "B": ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    "C": [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    "D": ["###..", "#..#.", "#...#", "#...#", "#...#", "#..#.", "###.."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "F": ["#####", "#....", "#....", "####.", "#....", "#....", "#...."],
    "G": [".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"],
    "H": ["#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "I": [".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "J": ["..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."],
    "K": ["#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "M": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    "N": ["#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "P": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    "Q": [".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "U": ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "V": ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "W": ["#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."],
    "X": ["#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"],
    "Y": ["#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."],
    "Z": ["#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"],
}

# Punctuation: (rows on the 5 x 7 grid, BBX on the doubled grid).
PUNCTUATION = {
    "!": (["#", "#", "#", "#", "#", ".", "#"], (2, 14, 4, 0)),
    ".": (["#"], (2, 2, 4, 0)),
    ",": (["#", "#"], (2, 4, 4, 0)),
    ":": (["#", ".", ".", "#"], (2, 8, 4, 0)),
    "-": (["#####"], (10, 2, 0, 6)),
}

NAMES = {" ": "space", "!": "exclam", ".": "period", ",": "comma", ":": "colon", "-": "hyphen"}


def doubled(rows):
    out = []
    for row in rows:
        bits = "".join(ch * 2 for ch in row)
        out += [bits, bits]
    return out


def hex_row(bits):
    width = 8 if len(bits) <= 8 else 16
    value = int(bits.replace("#", "1").replace(".", "0").ljust(width, "0"), 2)
    return f"{value:0{width // 4}X}"


def main():
    here = pathlib.Path(__file__).resolve().parent
    glyphs = [(".notdef", ["#####"] + ["#...#"] * 5 + ["#####"], (10, 14, 0, 0)), (" ", [], (0, 0, 0, 0))]
    glyphs += [(ch, rows, (10, 14, 0, 0)) for ch, rows in GLYPHS.items()]
    glyphs += [(ch, rows, box) for ch, (rows, box) in PUNCTUATION.items()]

    bdf = [
        "STARTFONT 2.1",
        "COMMENT Blocky: a 10 x 14 example font drawn for fontgraft, CC0 (public domain).",
        "FONT -fontgraft-Blocky-Medium-R-Normal--14-140-75-75-C-120-ISO10646-1",
        "SIZE 14 75 75",
        "FONTBOUNDINGBOX 12 14 0 0",
        "STARTPROPERTIES 2",
        "FONT_ASCENT 14",
        "FONT_DESCENT 0",
        "ENDPROPERTIES",
        f"CHARS {len(glyphs)}",
    ]
    cmap_lines = []
    for gid, (ch, rows, box) in enumerate(glyphs):
        code = -1 if ch == ".notdef" else ord(ch)
        bitmap = [hex_row(bits) for bits in doubled(rows)]
        if box[0] == 0:
            bitmap = []
        bdf += [
            f"STARTCHAR glyphID:{gid:04x}",
            f"ENCODING {code}",
            "SWIDTH 857 0",
            "DWIDTH 12 0",
            "BBX {} {} {} {}".format(*box),
            "BITMAP",
            *bitmap,
            "ENDCHAR",
        ]
        if code >= 0:
            cmap_lines.append(f"        Char {code:04X} -> Index {gid}")
    bdf.append("ENDFONT")

    dump = [
        "cmap table: version 0, 2 subtables",
        "   Subtable 0:",
        "               Platform ID: 0",
        "               Specific ID: 3",
        *cmap_lines[:3],
        "   Subtable 1:",
        "               Platform ID: 3",
        "               Specific ID: 1",
        *cmap_lines,
    ]
    (here / "blocky.bdf").write_text("\n".join(bdf) + "\n")
    (here / "blocky-cmap.txt").write_text("\n".join(dump) + "\n")
    write_ttf(here / "blocky.ttf", glyphs)


def write_ttf(path, glyphs):
    try:
        from fontTools.fontBuilder import FontBuilder
        from fontTools.pens.ttGlyphPen import TTGlyphPen
    except ImportError:
        print("fontTools is missing: blocky.ttf is not written")
        return
    unit = 100
    names = [".notdef"] + [NAMES.get(ch, ch) for ch, _, _ in glyphs[1:]]
    outlines = {}
    for name, (ch, rows, (width, height, x, y)) in zip(names, glyphs):
        pen = TTGlyphPen(None)
        for k, bits in enumerate(doubled(rows) if width else []):
            top = (y + height - k) * unit
            # One rectangle per run of set pixels, drawn clockwise.
            for start, run in ((m.start(), len(m.group())) for m in re.finditer("#+", bits)):
                left, right = (x + start) * unit, (x + start + run) * unit
                pen.moveTo((left, top - unit))
                pen.lineTo((left, top))
                pen.lineTo((right, top))
                pen.lineTo((right, top - unit))
                pen.closePath()
        outlines[name] = pen.glyph()
    builder = FontBuilder(14 * unit, isTTF=True)
    builder.setupGlyphOrder(names)
    builder.setupCharacterMap({ord(ch): name for name, (ch, _, _) in zip(names, glyphs) if ch != ".notdef"})
    builder.setupGlyf(outlines)
    builder.setupHorizontalMetrics(
        {name: (12 * unit, outlines[name].xMin if hasattr(outlines[name], "xMin") else 0) for name in names}
    )
    builder.setupHorizontalHeader(ascent=14 * unit, descent=0)
    builder.setupNameTable(
        {
            "familyName": "Blocky",
            "styleName": "Regular",
            "copyright": "Blocky: drawn for fontgraft, dedicated to the public domain (CC0)",
        }
    )
    builder.setupOS2(sTypoAscender=14 * unit, sTypoDescender=0, usWinAscent=14 * unit, usWinDescent=0)
    builder.setupPost()
    builder.save(str(path))


if __name__ == "__main__":
    main()
