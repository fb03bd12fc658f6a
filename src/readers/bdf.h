// The BDF glyph reader: one glyph of the font per call, placed in a glyph
// cell.
//
// Only a small part of BDF is read: the font's FONTBOUNDINGBOX, and per glyph
// its STARTCHAR name (which must be "glyphID:" and a hex number), its BBX and
// its BITMAP rows. Everything else, ENCODING included, is passed over.
//
// The reader's state is a FontReader, passed to every call: the line source
// with its line count, the font box, the last BBX line and, for the checker,
// a listener that hears what the cell cannot hold and where each thing
// stands. The utility reads its one font through the functions at the end,
// over a reader in static storage.
#ifndef FONTGRAFT_READERS_BDF_H
#define FONTGRAFT_READERS_BDF_H

#include <cstddef>
#include <cstdio>

#include "common/state.h"
#include "common/textfile.h"

// What readGlyph and getFont return once the font holds no further glyph.
constexpr int kEndOfFont = -1;

// Why a row's pixels, or some of them, do not reach the cell.
enum RowLoss {
  kLostAbove,  // the row lies above the cell
  kLostBelow,  // below it
  kLostLeft,   // pixels moved past the left side
  kLostRight,  // past the right side
  kLostWidth,  // a row line not 2 or 4 hex digits wide, which stores nothing
  kRowLosses
};

// What a listener hears while a font is read. Any function may be null.
struct FontListener {
  void* context = nullptr;
  // Row lines of a BITMAP section, lines `first` to `last` of the file, that
  // lose `pixels` pixels in all for `why`: each run of consecutive lines of a
  // glyph that lose pixels for one reason is told once.
  void (*rowsLost)(void* context, RowLoss why, long pixels, long first, long last) = nullptr;
  // A FONTBOUNDINGBOX or BBX line that gives only `read` of its 4 numbers;
  // the others keep their earlier values.
  void (*shortBox)(void* context, Line line, long number, int read) = nullptr;
  // A COMMENT line outside the BITMAP sections.
  void (*comment)(void* context, Line line, long number) = nullptr;
};

struct FontReader {
  LineSource source;
  int* cell;     // the glyph cell each glyph is read into: kCellSize rows
  int* fontBox;  // the FONTBOUNDINGBOX values, 0 until its line is read
  const FontListener* listener;
  bool plainRows;  // rows spelled the plain way are taken where they stand

  // The glyph just read.
  int glyphId;      // meaningful only while hasGlyphId is true
  bool hasGlyphId;  // its STARTCHAR name carries an ID
  long glyphLine;   // its STARTCHAR line, else its BITMAP line

  // The run of row lines losing pixels that the listener has yet to hear.
  struct {
    RowLoss why;
    long pixels;  // 0: none
    long first;
    long last;
  } lost;

  // Fonts mostly repeat one BBX line: the last one read that gave all four
  // numbers, and its box, so that a line spelled the same is not read again.
  std::size_t lastBoxLength;  // 0: none kept
  char lastBoxLine[32];
  int lastBox[4];
};

// Starts reading a font from `file` into `cell`, with its box in `fontBox`;
// `listener` may be null.
void startFontReader(FontReader* reader, std::FILE* file, int* cell, int* fontBox,
                     const FontListener* listener);

// Reads the next glyph: clears the cell, places the glyph's rows in it and
// leaves its ID in the reader. Returns the number of lines of its BITMAP
// section, or kEndOfFont when the font ends before another BITMAP section
// opens. A BITMAP section cut short by the end of the file still gives a glyph.
int readGlyph(FontReader* reader);

// Value of a bitmap row line of two or four digit places (told by the place of
// its line end), or -1 for a line of any other width. A place that does not
// hold a hex digit counts as 0.
int rowValue(Line line);

// `value` moved right by `shift` columns (left when negative) within the
// cell's 16 columns; whatever leaves the cell is lost.
int shiftRow(int value, long long shift);

// The utility's font, read into `bmpbuf`, `glyphid` and `fbbx` from `fp`.

// Opens the font at `path` into `fp` and starts a new font: the font bounding
// box is 0 until the font's FONTBOUNDINGBOX line is read. Returns false when
// the path cannot be read as a file.
bool openFont(const char* path);

// Starts reading a new font from `file`, which becomes `fp`.
void startFont(std::FILE* file);

// Closes `fp`. Returns false when closing fails.
bool closeFont();

// Reads the next glyph of `fp` as readGlyph does, leaving its ID in `glyphid`
// (`hasglyphid` is false when its STARTCHAR line carries none).
int getFont();

// True when reading the font failed: the glyphs read so far are not all of
// it, though getFont has reported its end.
bool fontReadFailed();

#endif
