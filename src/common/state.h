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

// Glyph cell: 16 rows of 16 one-bit pixels, row 0 at the top. Bit 15 of a row
// is column 0 (the leftmost), bit 0 is column 15; bits above 15 stay 0.
constexpr int kCellRows = 16;
extern int bmpbuf[kCellRows];

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
