#!/usr/bin/env python3
"""Writes the example font blocky.bdf and its code map dump blocky-cmap.txt.

The glyphs are drawn here on a 5 x 7 grid and doubled in both directions, so
the capitals and digits are 10 x 14 pixel glyphs (rows of four hex digits);
the punctuation glyphs use tight boxes of their own (rows of two hex digits).
Glyph names carry the glyph IDs the code map refers to.
"""

import pathlib

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


if __name__ == "__main__":
    main()
