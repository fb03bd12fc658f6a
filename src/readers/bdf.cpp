#include "readers/bdf.h"

#include <array>
#include <climits>
#include <cstdint>
#include <cstring>

#include "common/scan.h"
#include "common/state.h"
#include "common/textfile.h"

namespace {

// The glyph's own bounding box, from its BBX line.
struct GlyphBox {
  int width;
  int height;
  int xoff;
  int yoff;
};

// Value of each byte as a digit place of a bitmap row: its hex digit value, 0
// for a byte that is no hex digit.
constexpr std::array<std::uint8_t, 256> makePlaceValues() {
  std::array<std::uint8_t, 256> values{};
  for (unsigned c = 0; c < 256; ++c) {
    const int digit = hexDigitValue(static_cast<unsigned char>(c));
    values[c] = static_cast<std::uint8_t>(digit < 0 ? 0 : digit);
  }
  return values;
}
constexpr std::array<std::uint8_t, 256> kPlaceValues = makePlaceValues();

bool isLineEnd(char c) {
  return c == '\r' || c == '\n';
}

// What rowValue returns, inlined into the row loop.
inline int valueOfRow(Line line) {
  // A line end at place 2 or 4 guarantees the places before it.
  const auto place = [&line](int i) {
    return static_cast<int>(kPlaceValues[static_cast<unsigned char>(line.text[i])]);
  };
  if (isLineEnd(line.at(2))) {
    return place(0) << 12 | place(1) << 8;
  }
  if (isLineEnd(line.at(4))) {
    return place(0) << 12 | place(1) << 8 | place(2) << 4 | place(3);
  }
  return -1;
}

// Set pixels of the 16 of a row.
int pixelsOf(int value) {
  unsigned v = static_cast<unsigned>(value) & 0xFFFFu;
  v -= (v >> 1) & 0x5555u;
  v = (v & 0x3333u) + ((v >> 2) & 0x3333u);
  v = (v + (v >> 4)) & 0x0F0Fu;
  return static_cast<int>((v + (v >> 8)) & 0x1Fu);
}

// Pixels of a row line of any width: the set bits of its hex digits.
int pixelsOfLine(Line line) {
  int pixels = 0;
  for (std::size_t i = 0; i < line.length && !isLineEnd(line.text[i]); ++i) {
    const int digit = hexDigitValue(static_cast<unsigned char>(line.text[i]));
    pixels += digit > 0 ? pixelsOf(digit) : 0;
  }
  return pixels;
}

// Where the rows of the glyph go: the cell row of its first row line and the
// shift of every row, by the cell placement rule (common/state.h).
struct Placement {
  long long firstRow;
  long long shift;
};

Placement placementOf(const int* fontBox, const GlyphBox& box) {
  return Placement{cellRowOfGlyphTop(static_cast<long long>(fontBox[1]) + fontBox[3],
                                     static_cast<long long>(box.height) + box.yoff),
                   cellColumnOf(box.xoff)};
}

bool hearsRows(const FontReader* reader) {
  return reader->listener != nullptr && reader->listener->rowsLost != nullptr;
}

// Tells the listener of the run of losing row lines held back, if any.
void flushLost(FontReader* reader) {
  if (reader->lost.pixels > 0) {
    reader->listener->rowsLost(reader->listener->context, reader->lost.why, reader->lost.pixels,
                               reader->lost.first, reader->lost.last);
    reader->lost.pixels = 0;
  }
}

// Why and how many pixels the cell cannot hold of a row of `value` (at least
// 0) placed at `cellRow` and moved by `shift`.
inline RowLoss lossOf(long long cellRow, int value, long long shift, int* pixels) {
  if (cellRow < 0 || cellRow >= kCellSize) {
    *pixels = pixelsOf(value);
    return cellRow < 0 ? kLostAbove : kLostBelow;
  }
  if (shift >= 0 && shift < kCellSize) {
    *pixels = pixelsOf(value & ((1 << shift) - 1));  // the columns pushed past the right side
    return kLostRight;
  }
  *pixels = pixelsOf(value) - pixelsOf(shiftRow(value, shift));
  return shift < 0 ? kLostLeft : kLostRight;
}

// Starts a new run of losing row lines at line `number`.
void startLost(FontReader* reader, RowLoss why, int pixels, long number) {
  flushLost(reader);
  reader->lost = {why, pixels, number, number};
}

// Adds the `pixels` the row line `number` loses for `why` to the run held back.
inline void addLost(FontReader* reader, RowLoss why, int pixels, long number) {
  auto& lost = reader->lost;
  if (lost.pixels > 0 && lost.why == why && lost.last + 1 == number) {
    lost.pixels += pixels;
    lost.last = number;
  } else {
    startLost(reader, why, pixels, number);
  }
}

// Counts what the cell cannot hold of a row line, the `number`-th of the
// file: one of `value` (-1: a line of another width) placed at `cellRow` and
// moved by `shift`.
void reportRow(FontReader* reader, Line line, long long cellRow, int value, long long shift,
               long number) {
  int pixels = 0;
  const RowLoss why = value < 0 ? kLostWidth : lossOf(cellRow, value, shift, &pixels);
  if (value < 0) {
    pixels = pixelsOfLine(line);
  }
  if (pixels > 0) {
    addLost(reader, why, pixels, number);
  }
}

// Stores the row line that is the `row`-th line of the glyph's BITMAP section
// and the `number`-th of the file.
void placeRow(FontReader* reader, Line line, const Placement& placement, long long row,
              long number) {
  const long long r = placement.firstRow + row;
  const int value = valueOfRow(line);
  if (hearsRows(reader)) {
    reportRow(reader, line, r, value, placement.shift, number);
  }
  if (r < 0 || r >= kCellSize) {
    return;  // above or below the cell: dropped
  }
  if (value >= 0) {
    reader->cell[r] = shiftRow(value, placement.shift);
  }
}

// Reads "STARTCHAR glyphID:XXXX" spelled with four hex digits.
bool readPlainGlyphId(Line line, int* id) {
  constexpr std::size_t kId = 18;  // after "STARTCHAR glyphID:"
  return line.length >= kId + 4 && std::memcmp(line.text, "STARTCHAR glyphID:", kId) == 0 &&
         plainHex4(line.text + kId, id);
}

// Reads "BBX W H X Y" spelled with single blanks and plain numbers into v.
bool readPlainBox(Line line, int v[4]) {
  int values[4];
  std::size_t at = 4;  // after "BBX "
  for (int i = 0; i < 4; ++i) {
    if (at > line.length || line.text[at - 1] != ' ') {
      return false;
    }
    const std::size_t taken = plainDecimal(line.text + at, line.length - at, &values[i]);
    if (taken == 0) {
      return false;
    }
    at += taken + 1;
  }
  std::memcpy(v, values, sizeof values);
  return true;
}

// Value of each byte as a hex digit, -1 for a byte that is none.
constexpr std::array<std::int8_t, 256> makeHexValues() {
  std::array<std::int8_t, 256> values{};
  for (unsigned c = 0; c < 256; ++c) {
    values[c] = static_cast<std::int8_t>(hexDigitValue(static_cast<unsigned char>(c)));
  }
  return values;
}
constexpr std::array<std::int8_t, 256> kHexValues = makeHexValues();

// Takes the rows of the BITMAP section that stand whole in the reader's block
// and are spelled the plain way, four or two hex digits and a line end, as
// nearly every font spells them, and the ENDCHAR line after them. Each gives
// what placeRow would make of it, and the listener (kListening) hears the
// same. Returns true when the section's ENDCHAR line was taken; `rows` counts
// the rows taken.
template <bool kListening>
bool readPlainRows(FontReader* reader, const Placement& placement, long long* rows) {
  LineSource& source = reader->source;
  const char* at = source.block + source.pos;
  const char* const end = source.block + source.len;
  const auto hex = [&at](int i) {
    return static_cast<int>(kHexValues[static_cast<unsigned char>(at[i])]);
  };
  const bool plainShift = placement.shift >= 0 && placement.shift < kCellSize;
  const long long firstRow = *rows;
  bool ended = false;
  for (;;) {
    int value = -1;
    int length = 0;
    if (end - at >= 5 && at[4] == '\n') {
      const int d0 = hex(0);
      const int d1 = hex(1);
      const int d2 = hex(2);
      const int d3 = hex(3);
      value = (d0 | d1 | d2 | d3) < 0 ? -1 : d0 << 12 | d1 << 8 | d2 << 4 | d3;
      length = 5;
    } else if (end - at >= 3 && at[2] == '\n') {
      const int d0 = hex(0);
      const int d1 = hex(1);
      value = (d0 | d1) < 0 ? -1 : d0 << 12 | d1 << 8;
      length = 3;
    }
    if (value < 0) {
      ended = end - at >= 8 && std::memcmp(at, "ENDCHAR\n", 8) == 0;
      at += ended ? 8 : 0;
      break;
    }
    const long long r = placement.firstRow + *rows;
    if (kListening) {
      int pixels = 0;
      const RowLoss why = lossOf(r, value, placement.shift, &pixels);
      if (pixels > 0) {
        addLost(reader, why, pixels, source.linesEnded + static_cast<long>(*rows - firstRow) + 1);
      }
    }
    if (r >= 0 && r < kCellSize) {
      reader->cell[r] = plainShift ? value >> placement.shift : shiftRow(value, placement.shift);
    }
    ++*rows;
    at += length;
  }
  source.linesEnded += static_cast<long>(*rows - firstRow) + (ended ? 1 : 0);
  source.pos = static_cast<std::size_t>(at - source.block);
  return ended;
}

// Tells the listener of a box line that gives fewer than its four numbers.
void noteBox(const FontReader* reader, Line line, long number, int read) {
  if (read < 4 && reader->listener != nullptr && reader->listener->shortBox != nullptr) {
    reader->listener->shortBox(reader->listener->context, line, number, read);
  }
}

// The glyph's box from its BBX line; values the line does not give keep what
// `box` holds. A line spelled as the last plain one gives the same box.
GlyphBox readBox(FontReader* reader, Line line, long number, const GlyphBox& box) {
  if (line.length == reader->lastBoxLength &&
      std::memcmp(line.text, reader->lastBoxLine, line.length) == 0) {
    const int* v = reader->lastBox;
    return GlyphBox{v[0], v[1], v[2], v[3]};
  }
  int v[4] = {box.width, box.height, box.xoff, box.yoff};
  const bool plain = readPlainBox(line, v);
  if (!plain) {
    noteBox(reader, line, number, scanPattern(line, "BBX %d %d %d %d", v, 4));
  }
  // A plain line gives all four values, whatever the box held before.
  reader->lastBoxLength = plain && line.length <= sizeof reader->lastBoxLine ? line.length : 0;
  if (reader->lastBoxLength != 0) {
    std::memcpy(reader->lastBoxLine, line.text, line.length);
    std::memcpy(reader->lastBox, v, sizeof v);
  }
  return GlyphBox{v[0], v[1], v[2], v[3]};
}

// Reads the rows of a BITMAP section up to its ENDCHAR line or the end of the
// file and returns how many there were. Plain rows are taken where they stand;
// any other line goes through the line reader, one at a time.
int readBitmap(FontReader* reader, const Placement& placement) {
  long long rows = 0;
  bool ended = false;
  const bool listening = hearsRows(reader);
  const auto plainRows = [&] {
    return reader->plainRows && (listening ? readPlainRows<true>(reader, placement, &rows)
                                           : readPlainRows<false>(reader, placement, &rows));
  };
  while (!ended && !plainRows()) {
    const bool more = forEachLine(&reader->source, [&](Line line, long number) {
      if (line.text[0] == 'E' && line.startsWith("ENDCHAR")) {
        ended = true;
        return false;
      }
      placeRow(reader, line, placement, rows, number);
      ++rows;
      return false;  // back to the plain rows
    });
    ended = ended || !more;
  }
  if (listening) {
    flushLost(reader);
  }
  return rows > INT_MAX ? INT_MAX : static_cast<int>(rows);
}

void readFontBox(FontReader* reader, Line line, long number) {
  int v[4];
  const int n = scanPattern(line, "FONTBOUNDINGBOX %d %d %d %d", v, 4);
  std::memcpy(reader->fontBox, v, sizeof v[0] * static_cast<unsigned>(n));
  noteBox(reader, line, number, n);
}

void readStartChar(FontReader* reader, Line line, long number) {
  int* id = &reader->glyphId;
  reader->hasGlyphId =
      readPlainGlyphId(line, id) || scanPattern(line, "STARTCHAR glyphID:%4x", id, 1) == 1;
  if (!reader->hasGlyphId) {
    *id = 0;
  }
  reader->glyphLine = number;
}

void readComment(const FontReader* reader, Line line, long number) {
  if (reader->listener != nullptr && reader->listener->comment != nullptr) {
    reader->listener->comment(reader->listener->context, line, number);
  }
}

// Takes one line outside a BITMAP section into the font state and the glyph
// in flight. Returns true when the line opens the glyph's BITMAP section.
// Most lines are passed over at their first character, before any call.
inline bool readHeaderLine(FontReader* reader, Line line, long number, GlyphBox* box) {
  switch (line.text[0]) {
    case 'F':
      if (line.startsWith("FONTBOUNDINGBOX")) {
        readFontBox(reader, line, number);
      }
      return false;
    case 'S':
      if (line.startsWith("STARTCHAR")) {
        readStartChar(reader, line, number);
      }
      return false;
    case 'B':
      if (line.startsWith("BITMAP")) {
        reader->glyphLine = reader->glyphLine != 0 ? reader->glyphLine : number;
        return true;
      }
      if (line.startsWith("BBX")) {
        *box = readBox(reader, line, number, *box);
      }
      return false;
    case 'C':
      if (line.startsWith("COMMENT")) {
        readComment(reader, line, number);
      }
      return false;
    default:
      return false;
  }
}

// The utility's font.
FontReader fontreader;

}  // namespace

int rowValue(Line line) {
  return valueOfRow(line);
}

int shiftRow(int value, long long shift) {
  if (shift >= kCellSize || shift <= -kCellSize) {
    return 0;
  }
  if (shift >= 0) {
    return value >> shift;
  }
  return (value << -shift) & 0xFFFF;
}

void startFontReader(FontReader* reader, std::FILE* file, int* cell, int* fontBox,
                     const FontListener* listener) {
  startLines(&reader->source, file);
  reader->cell = cell;
  reader->fontBox = fontBox;
  std::memset(fontBox, 0, 4 * sizeof fontBox[0]);
  reader->listener = listener;
  reader->plainRows = true;
  reader->glyphId = 0;
  reader->hasGlyphId = false;
  reader->glyphLine = 0;
  reader->lastBoxLength = 0;
  reader->lost.pixels = 0;
}

int readGlyph(FontReader* reader) {
  std::memset(reader->cell, 0, kCellSize * sizeof reader->cell[0]);
  reader->glyphId = 0;
  reader->hasGlyphId = false;
  reader->glyphLine = 0;
  GlyphBox box{0, 0, 0, 0};
  const bool inBitmap = forEachLine(&reader->source, [reader, &box](Line line, long number) {
    return !readHeaderLine(reader, line, number, &box);
  });
  return inBitmap ? readBitmap(reader, placementOf(reader->fontBox, box)) : kEndOfFont;
}

void startFont(std::FILE* file) {
  fp = file;
  startFontReader(&fontreader, file, bmpbuf, fbbx, nullptr);
}

bool openFont(const char* path) {
  std::FILE* file = openInput(path, "rb");
  if (file == nullptr) {
    return false;
  }
  startFont(file);
  return true;
}

bool closeFont() {
  const bool closed = std::fclose(fp) == 0;
  fp = nullptr;
  return closed;
}

bool fontReadFailed() {
  return fontreader.source.failed;
}

int getFont() {
  const int rows = readGlyph(&fontreader);
  glyphid = fontreader.glyphId;
  hasglyphid = fontreader.hasGlyphId;
  return rows;
}
