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

LineSource fontfile;

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

// Where the rows of the glyph go: the cell row of its first row line and the
// shift of every row, by the cell placement rule (common/state.h).
struct Placement {
  long long firstRow;
  long long shift;
};

Placement placementOf(const GlyphBox& box) {
  return Placement{cellRowOfGlyphTop(static_cast<long long>(fbbx[1]) + fbbx[3],
                                     static_cast<long long>(box.height) + box.yoff),
                   cellColumnOf(box.xoff)};
}

// Stores the row line that is the `row`-th line of the glyph's BITMAP section.
void placeRow(Line line, const Placement& placement, long long row) {
  const long long r = placement.firstRow + row;
  if (rowlistener != nullptr) {
    rowlistener(line, r, valueOfRow(line), placement.shift);
  }
  if (r < 0 || r >= kCellSize) {
    return;  // above or below the cell: dropped
  }
  const int value = valueOfRow(line);
  if (value >= 0) {
    bmpbuf[r] = shiftRow(value, placement.shift);
  }
}

// Reads "STARTCHAR glyphID:XXXX" spelled with four hex digits into `glyphid`.
bool readPlainGlyphId(Line line) {
  constexpr std::size_t kId = 18;  // after "STARTCHAR glyphID:"
  return line.length >= kId + 4 && std::memcmp(line.text, "STARTCHAR glyphID:", kId) == 0 &&
         plainHex4(line.text + kId, &glyphid);
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
// what placeRow would make of it. Returns true when the section's ENDCHAR
// line was taken; `rows` counts the rows taken.
bool readPlainRows(const Placement& placement, long long* rows) {
  if (rowlistener != nullptr) {
    return false;  // the listener hears every row through placeRow
  }
  const char* at = fontfile.block + fontfile.pos;
  const char* const end = fontfile.block + fontfile.len;
  const auto hex = [&at](int i) {
    return static_cast<int>(kHexValues[static_cast<unsigned char>(at[i])]);
  };
  const bool plainShift = placement.shift >= 0 && placement.shift < kCellSize;
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
    if (r >= 0 && r < kCellSize) {
      bmpbuf[r] = plainShift ? value >> placement.shift : shiftRow(value, placement.shift);
    }
    ++*rows;
    at += length;
  }
  fontfile.pos = static_cast<std::size_t>(at - fontfile.block);
  return ended;
}

// The glyph's box from its BBX line; values the line does not give keep what
// `box` holds. Fonts mostly repeat one BBX line, so the last line read and the
// box it gave are kept, and a line spelled the same gives the same box.
GlyphBox readBox(Line line, const GlyphBox& box) {
  static char lastLine[32];
  static std::size_t lastLength;  // 0: none kept
  static GlyphBox lastBox;
  if (line.length == lastLength && std::memcmp(line.text, lastLine, line.length) == 0) {
    return lastBox;
  }
  int v[4] = {box.width, box.height, box.xoff, box.yoff};
  const bool plain = readPlainBox(line, v);
  if (!plain) {
    scanPattern(line, "BBX %d %d %d %d", v, 4);
  }
  const GlyphBox read{v[0], v[1], v[2], v[3]};
  // A plain line gives all four values, whatever the box held before.
  lastLength = plain && line.length <= sizeof lastLine ? line.length : 0;
  if (lastLength != 0) {
    std::memcpy(lastLine, line.text, line.length);
    lastBox = read;
  }
  return read;
}

// Reads the rows of a BITMAP section up to its ENDCHAR line or the end of the
// file and returns how many there were. Plain rows are taken where they stand;
// any other line goes through the line reader, one at a time.
int readBitmap(const Placement& placement) {
  long long rows = 0;
  bool ended = false;
  while (!ended && !readPlainRows(placement, &rows)) {
    const bool more = forEachLine(&fontfile, [&](Line line) {
      if (line.text[0] == 'E' && line.startsWith("ENDCHAR")) {
        ended = true;
        return false;
      }
      placeRow(line, placement, rows);
      ++rows;
      return false;  // back to the plain rows
    });
    ended = ended || !more;
  }
  return rows > INT_MAX ? INT_MAX : static_cast<int>(rows);
}

// Takes one line outside a BITMAP section into the font state and the glyph
// in flight. Returns true when the line opens the glyph's BITMAP section.
bool readHeaderLine(Line line, GlyphBox* box) {
  switch (line.text[0]) {
    case 'F':
      if (line.startsWith("FONTBOUNDINGBOX")) {
        int v[4];
        const int n = scanPattern(line, "FONTBOUNDINGBOX %d %d %d %d", v, 4);
        std::memcpy(fbbx, v, sizeof v[0] * static_cast<unsigned>(n));
      }
      return false;
    case 'S':
      if (line.startsWith("STARTCHAR")) {
        hasglyphid =
            readPlainGlyphId(line) || scanPattern(line, "STARTCHAR glyphID:%4x", &glyphid, 1) == 1;
        if (!hasglyphid) {
          glyphid = 0;
        }
      }
      return false;
    case 'B':
      if (line.startsWith("BITMAP")) {
        return true;
      }
      if (line.startsWith("BBX")) {
        *box = readBox(line, *box);
      }
      return false;
    default:
      return false;
  }
}

}  // namespace

void (*rowlistener)(Line line, long long cellRow, int value, long long shift);

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

void startFont(std::FILE* file) {
  std::memset(fbbx, 0, sizeof fbbx);
  fp = file;
  startLines(&fontfile, file);
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
  return fontfile.failed;
}

int getFont() {
  std::memset(bmpbuf, 0, sizeof bmpbuf);
  glyphid = 0;
  hasglyphid = false;
  GlyphBox box{0, 0, 0, 0};
  const bool inBitmap =
      forEachLine(&fontfile, [&box](Line line) { return !readHeaderLine(line, &box); });
  return inBitmap ? readBitmap(placementOf(box)) : kEndOfFont;
}
