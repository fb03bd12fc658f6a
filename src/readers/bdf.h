// The BDF glyph reader: one glyph of the font per call, placed in the glyph
// cell.
//
// Only a small part of BDF is read: the font's FONTBOUNDINGBOX, and per glyph
// its STARTCHAR name (which must be "glyphID:" and a hex number), its BBX and
// its BITMAP rows. Everything else, ENCODING included, is passed over.
#ifndef FONTGRAFT_READERS_BDF_H
#define FONTGRAFT_READERS_BDF_H

#include <cstdio>

#include "common/textfile.h"

// What getFont returns once the font holds no further glyph.
constexpr int kEndOfFont = -1;

// Opens the font at `path` into `fp` and starts a new font: the font bounding
// box is 0 until the font's FONTBOUNDINGBOX line is read. Returns false when
// the path cannot be read as a file.
bool openFont(const char* path);

// Starts reading a new font from `file`, which becomes `fp`.
void startFont(std::FILE* file);

// Closes `fp`. Returns false when closing fails.
bool closeFont();

// Reads the next glyph from `fp`: clears the glyph cell, places the glyph's
// rows in it and leaves its ID in `glyphid` (`hasglyphid` is false when its
// STARTCHAR line carries none). Returns the number of lines of its BITMAP
// section, or kEndOfFont when the font ends before another BITMAP section
// opens. A BITMAP section cut short by the end of the file still gives a glyph.
int getFont();

// When set, called with every row line of a BITMAP section as it is placed:
// the line, the cell row it goes to (which may lie outside the cell), its
// value (rowValue) and how far it is moved right (left when negative). For the
// checker, which counts the pixels a font would lose.
extern void (*rowlistener)(Line line, long long cellRow, int value, long long shift);

// True when reading the font failed: the glyphs read so far are not all of
// it, though getFont has reported its end.
bool fontReadFailed();

// Value of a bitmap row line of two or four digit places (told by the place of
// its line end), or -1 for a line of any other width. A place that does not
// hold a hex digit counts as 0.
int rowValue(Line line);

// `value` moved right by `shift` columns (left when negative) within the
// cell's 16 columns; whatever leaves the cell is lost.
int shiftRow(int value, long long shift);

#endif
