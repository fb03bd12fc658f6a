#!/usr/bin/python3
"""Makes the small TrueType fonts the converter's cases need.

  make_font.py KIND OUT.ttf

KIND is one of
  blanks       A and U+20000 a square; B, the space and U+3000 empty glyphs
  nothing      A and B empty glyphs
  astral-only  only U+20000, a square
  absurd       unitsPerEm 16, A and B squares of 10,000 units
  em-squares   A, B and 0 squares of the whole em, from the descent up
  wide         A a square of 700 units, U+2014 a bar 1.6 em wide
  pair         a collection of two faces, "Case pair" Regular (A a square)
               and Bold (A and B squares)
  strokes      A two upright bars 1.4 px wide at 10 px, 1 px apart; B the
               same lying down
Needs fontTools (Debian: python3-fonttools).
"""
import sys

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen


def box(x0, y0, x1, y1):
    pen = TTGlyphPen(None)
    pen.moveTo((x0, y0))
    pen.lineTo((x0, y1))
    pen.lineTo((x1, y1))
    pen.lineTo((x1, y0))
    pen.closePath()
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
        x0, y0, x1, y1 = (0, low, 700, low + 140) if across else (low, 0, low + 140, 700)
        pen.moveTo((x0, y0))
        pen.lineTo((x0, y1))
        pen.lineTo((x1, y1))
        pen.lineTo((x1, y0))
        pen.closePath()
    return pen.glyph()


def build(kind, style="Regular"):
    em = 1000
    if kind == "blanks":
        glyphs = {"A": square(700), "B": empty(), "space": empty(),
                  "ideospace": empty(), "astral": square(700)}
        cmap = {0x41: "A", 0x42: "B", 0x20: "space", 0x3000: "ideospace", 0x20000: "astral"}
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
    elif kind == "strokes":
        glyphs = {"A": two_bars(False), "B": two_bars(True)}
        cmap = {0x41: "A", 0x42: "B"}
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
    builder.setupNameTable({"familyName": "Case " + kind, "styleName": style})
    builder.setupOS2(sTypoAscender=em * 8 // 10, usWinAscent=em * 8 // 10,
                     usWinDescent=em * 2 // 10)
    builder.setupPost()
    return builder


if __name__ == "__main__":
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
