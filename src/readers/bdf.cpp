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
// shift of every row. The top of the font bounding box falls on cell row 2 and
// each glyph row lands as far below it as the glyph's top lies below the
// font's top; the glyph's first pixel lands in column BBX x offset + 2. All
// sums are taken in 64 bits so that no value of the font can overflow them.
struct Placement {
  long long firstRow;
  long long shift;
};

Placement placementOf(const GlyphBox& box) {
  return Placement{static_cast<long long>(fbbx[1]) + fbbx[3] - box.height - box.yoff + 2,
                   static_cast<long long>(box.xoff) + 2};
}

// Stores the row line that is the `row`-th line of the glyph's BITMAP section.
void placeRow(Line line, const Placement& placement, long long row) {
  const long long r = placement.firstRow + row;
  if (rowlistener != nullptr) {
    rowlistener(line, r, valueOfRow(line), placement.shift);
  }
  if (r < 0 || r >= kCellRows) {
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

// Reads the rows of a BITMAP section up to its ENDCHAR line or the end of the
// file and returns how many there were.
int readBitmap(const Placement& placement) {
  long long rows = 0;
  forEachLine(&fontfile, [&](Line line) {
    if (line.text[0] == 'E' && line.startsWith("ENDCHAR")) {
      return false;
    }
    placeRow(line, placement, rows);
    ++rows;
    return true;
  });
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
        int v[4] = {box->width, box->height, box->xoff, box->yoff};
        if (!readPlainBox(line, v)) {
          scanPattern(line, "BBX %d %d %d %d", v, 4);
        }
        *box = GlyphBox{v[0], v[1], v[2], v[3]};
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
  if (shift >= kCellRows || shift <= -kCellRows) {
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
