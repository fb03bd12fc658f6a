// Shared types and the module state that several parts of the run share.
//
// The run is one pass over one font in one thread, so the glyph in flight
// lives in static storage: the glyph reader fills the cell and the glyph ID,
// the packer turns the cell into the record, the writer puts the record into
// the image. Each of these is overwritten for every glyph.
#ifndef FONTGRAFT_COMMON_STATE_H
#define FONTGRAFT_COMMON_STATE_H

#include <cstdint>
#include <cstdio>

// Character codes are 16 bits: the font table has a slot for each of the
// kCodes codes 0 to 0xFFFF.
constexpr int kCodes = 65536;

// Glyph cell: kCellSize rows of kCellSize one-bit pixels, row 0 at the top.
// Bit 15 of a row is column 0 (the leftmost), bit 0 is column 15; bits above
// 15 stay 0.
constexpr int kCellSize = 16;
extern int bmpbuf[kCellSize];

// Where the utility puts a glyph in its cell: the top of the font bounding box
// on cell row kCellMargin (the rows above are left for glyphs that reach above
// the font's top), each glyph's top row as far below it as the glyph's top
// (BBX y offset + height) lies below the font's (FONTBOUNDINGBOX y offset +
// height), and the glyph's first column at its BBX x offset + kCellMargin.
// The glyph reader places rows by this rule and the font writer chooses boxes
// by it, so that what one writes the other puts back. Sums are taken in 64
// bits so that no value of a font can overflow them.
constexpr int kCellMargin = 2;

// The part of the cell right of and below the margin, where a font whose box
// is this tall and whose glyphs start at x offset 0 stands.
constexpr int kAreaSize = kCellSize - kCellMargin;
constexpr long long cellRowOfGlyphTop(long long fontTop, long long glyphTop) {
  return fontTop - glyphTop + kCellMargin;
}
constexpr long long cellColumnOf(long long xOffset) {
  return xOffset + kCellMargin;
}
// The same rule the other way: the glyph top and x offset that put a glyph's
// top row on cell row `row` and its first column on cell column `column`.
constexpr long long glyphTopAtCellRow(long long fontTop, long long row) {
  return fontTop + kCellMargin - row;
}
constexpr long long xOffsetAtCellColumn(long long column) {
  return column - kCellMargin;
}

// Glyph record: the cell as 32 bytes of vertical 8-pixel column strips.
constexpr int kRecordSize = 32;
extern std::uint8_t fntbuf[kRecordSize];

// Glyph ID of the glyph just read, from its STARTCHAR name. Meaningful only
// while `hasglyphid` is true; a glyph whose name carries no ID has none.
extern int glyphid;
extern bool hasglyphid;

// Font bounding box from the FONTBOUNDINGBOX line: width, height, x offset,
// y offset. 0 until that line has been read; kept for every later glyph.
extern int fbbx[4];

// Character code of the current glyph (0 means "no code") and the byte offset
// of its slot in the firmware image.
extern std::uint16_t uccode;
extern std::uint32_t address;

// The open font file that the glyph reader reads from.
extern std::FILE* fp;

#endif
