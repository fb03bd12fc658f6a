#include "readers/bdf.h"

#include <climits>
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

// The line buffer is longer than any keyword, so a plain byte compare serves.
template <std::size_t N>
bool startsWith(const char* line, const char (&keyword)[N]) {
  return std::memcmp(line, keyword, N - 1) == 0;
}

bool isLineEnd(char c) {
  return c == '\r' || c == '\n';
}

// Stores the row line that is the `row`-th line of the glyph's BITMAP section.
// The top of the font bounding box falls on cell row 2 and each glyph row
// lands as far below it as the glyph's top lies below the font's top; the
// glyph's first pixel lands in column BBX x offset + 2. All sums are taken in
// 64 bits so that no value of the font can overflow them.
void placeRow(const char* line, const GlyphBox& box, long long row) {
  const int value = rowValue(line);
  if (value < 0) {
    return;
  }
  const long long r = static_cast<long long>(fbbx[1]) + fbbx[3] - box.height - box.yoff + 2 + row;
  if (r < 0 || r >= kCellRows) {
    return;  // above or below the cell: dropped
  }
  bmpbuf[r] = shiftRow(value, static_cast<long long>(box.xoff) + 2);
}

}  // namespace

int rowValue(const char* line) {
  int places = 0;
  if (isLineEnd(line[2])) {
    places = 2;
  } else if (isLineEnd(line[4])) {
    places = 4;
  } else {
    return -1;
  }
  int value = 0;
  for (int i = 0; i < places; ++i) {
    const int digit = hexDigitValue(static_cast<unsigned char>(line[i]));
    value = value * 16 + (digit < 0 ? 0 : digit);
  }
  return places == 2 ? value << 8 : value;
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

int getFont() {
  std::memset(bmpbuf, 0, sizeof bmpbuf);
  glyphid = 0;
  hasglyphid = false;
  GlyphBox box{0, 0, 0, 0};
  bool inBitmap = false;
  long long rows = 0;
  const char* line = fontfile.line;
  while (readLine(&fontfile)) {
    if (inBitmap) {
      if (startsWith(line, "ENDCHAR")) {
        break;
      }
      placeRow(line, box, rows);
      ++rows;
    } else if (startsWith(line, "FONTBOUNDINGBOX")) {
      int v[4];
      const int n = scanPattern(line, "FONTBOUNDINGBOX %d %d %d %d", v, 4);
      std::memcpy(fbbx, v, sizeof v[0] * static_cast<unsigned>(n));
    } else if (startsWith(line, "STARTCHAR")) {
      hasglyphid = scanPattern(line, "STARTCHAR glyphID:%4x", &glyphid, 1) == 1;
      if (!hasglyphid) {
        glyphid = 0;
      }
    } else if (startsWith(line, "BBX")) {
      int v[4] = {box.width, box.height, box.xoff, box.yoff};
      scanPattern(line, "BBX %d %d %d %d", v, 4);
      box = GlyphBox{v[0], v[1], v[2], v[3]};
    } else if (startsWith(line, "BITMAP")) {
      inBitmap = true;
    }
  }
  if (!inBitmap) {
    return kEndOfFont;
  }
  return rows > INT_MAX ? INT_MAX : static_cast<int>(rows);
}
