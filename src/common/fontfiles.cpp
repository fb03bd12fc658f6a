#include "common/fontfiles.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>

#include "common/state.h"

#include <cstddef>

namespace {

// The smallest box around the set pixels of a cell: first and last row and
// column. Empty (first > last) for a blank cell.
struct Ink {
  int top = kCellSize;
  int bottom = -1;
  int left = kCellSize;
  int right = -1;
};

Ink inkOf(const CellGlyph& glyph) {
  Ink ink;
  for (int r = 0; r < kCellSize; ++r) {
    const unsigned row = glyph.rows[r];
    if (row == 0) {
      continue;
    }
    ink.top = ink.top < r ? ink.top : r;
    ink.bottom = r;
    const int left = __builtin_clz(row) - 16;  // first set column
    const int right = 15 - __builtin_ctz(row);
    ink.left = ink.left < left ? ink.left : left;
    ink.right = ink.right > right ? ink.right : right;
  }
  return ink;
}

// A name as one word of the FONT line: the characters that part its fields
// or stand for others there, and those that would end or break the line,
// become '_'.
std::string xlfdWord(const std::string& text) {
  std::string word = text.empty() ? "Unnamed" : text;
  for (char& c : word) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || c == '-' || c == ' ' || c == '*' || c == '?' || c == '"' ||
        c == ',') {
      c = '_';
    }
  }
  return word;
}

constexpr char kDigestPrefix[] = "COMMENT fontgraft code map: ";
constexpr char kDigestMiddle[] = " mappings, FNV-1a ";

MapDigest digestOf(const std::vector<CellGlyph>& glyphs) {
  MapDigest digest;
  for (const CellGlyph& glyph : glyphs) {
    digest.add(glyph.code, glyph.code);
  }
  return digest;
}

}  // namespace

void MapDigest::add(std::uint16_t code, std::uint16_t glyph) {
  const std::uint8_t bytes[4] = {
      static_cast<std::uint8_t>(code & 0xFF), static_cast<std::uint8_t>(code >> 8),
      static_cast<std::uint8_t>(glyph & 0xFF), static_cast<std::uint8_t>(glyph >> 8)};
  for (std::uint8_t byte : bytes) {
    hash = (hash ^ byte) * 0x100000001b3u;
  }
  ++count;
}

std::string digestComment(const MapDigest& digest) {
  char text[96];
  std::snprintf(text, sizeof text, "%s%lld%s%016" PRIx64 "\n", kDigestPrefix, digest.count,
                kDigestMiddle, digest.hash);
  return text;
}

bool readDigestComment(Line line, MapDigest* digest) {
  constexpr std::size_t kPrefix = sizeof kDigestPrefix - 1;
  constexpr std::size_t kMiddle = sizeof kDigestMiddle - 1;
  if (line.length < kPrefix || std::memcmp(line.text, kDigestPrefix, kPrefix) != 0) {
    return false;
  }
  std::size_t at = kPrefix;
  long long count = 0;
  const std::size_t digits = at;
  while (at < line.length && line.text[at] >= '0' && line.text[at] <= '9' && at - digits < 18) {
    count = count * 10 + (line.text[at++] - '0');
  }
  if (at == digits || line.length < at + kMiddle + 16 ||
      std::memcmp(line.text + at, kDigestMiddle, kMiddle) != 0) {
    return false;
  }
  at += kMiddle;
  std::uint64_t hash = 0;
  for (std::size_t i = 0; i < 16; ++i) {
    const char c = line.text[at + i];
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (digit < 0) {
      return false;
    }
    hash = hash << 4 | static_cast<std::uint64_t>(digit);
  }
  digest->hash = hash;
  digest->count = count;
  return true;
}

namespace {

// Text put together by hand in a buffer of its own, added to `out` in large
// pieces: a BDF of 40,000 glyphs is 7 MB of short lines.
class TextOut {
 public:
  explicit TextOut(std::string* out) : out_(out) {}
  ~TextOut() { flush(); }
  TextOut(const TextOut&) = delete;
  TextOut& operator=(const TextOut&) = delete;

  void text(const char* s) {
    while (*s != '\0') {
      put(*s++);
    }
  }
  void number(long value) {
    char digits[24];
    int n = 0;
    unsigned long magnitude =
        value < 0 ? 0ul - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
    do {
      digits[n++] = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) {
      put('-');
    }
    while (n > 0) {
      put(digits[--n]);
    }
  }
  // `count` upper-case hex digits of `value`.
  void hex(unsigned value, int count) {
    static const char kDigits[] = "0123456789ABCDEF";
    for (int shift = 4 * (count - 1); shift >= 0; shift -= 4) {
      put(kDigits[(value >> shift) & 0xF]);
    }
  }
  void flush() {
    out_->append(buffer_, used_);
    used_ = 0;
  }

 private:
  void put(char c) {
    if (used_ == sizeof buffer_) {
      flush();
    }
    buffer_[used_++] = c;
  }
  std::string* out_;
  char buffer_[1 << 16];
  std::size_t used_ = 0;
};

// How many glyphs' lines writeBdfFont and writeCodeMapFile make at a time.
constexpr std::size_t kGlyphsPerPiece = 4096;

// Writes `pieces` in order; false when writing fails.
bool writePieces(std::FILE* file, const std::vector<std::string>& pieces) {
  for (const std::string& piece : pieces) {
    if (std::fwrite(piece.data(), 1, piece.size(), file) != piece.size()) {
      return false;
    }
  }
  return true;
}

// One glyph's lines, from STARTCHAR to ENDCHAR.
void writeGlyph(TextOut* out, const CellGlyph& glyph, int pixelSize, int boxTop) {
  const Ink ink = inkOf(glyph);
  const bool blank = ink.bottom < 0;
  const int width = blank ? 0 : ink.right - ink.left + 1;
  const int height = blank ? 0 : ink.bottom - ink.top + 1;
  // The box that the placement rule puts at the ink's first row and column.
  const long x = blank ? 0 : static_cast<long>(xOffsetAtCellColumn(ink.left));
  const long y = blank ? 0 : static_cast<long>(glyphTopAtCellRow(boxTop, ink.top) - height);
  const int swidth = pixelSize > 0 ? glyph.advance * 1000 / pixelSize : 0;
  out->text("STARTCHAR glyphID:");
  out->hex(glyph.code, 4);
  out->text("\nENCODING ");
  out->number(glyph.code);
  out->text("\nSWIDTH ");
  out->number(swidth);
  out->text(" 0\nDWIDTH ");
  out->number(glyph.advance);
  out->text(" 0\nBBX ");
  for (const long value : {static_cast<long>(width), static_cast<long>(height), x}) {
    out->number(value);
    out->text(" ");
  }
  out->number(y);
  out->text("\nBITMAP\n");
  for (int r = ink.top; r <= ink.bottom; ++r) {
    // The row from the box's first column on, in two hex digits (8 pixels)
    // or four (16).
    const unsigned bits = (static_cast<unsigned>(glyph.rows[r]) << ink.left) & 0xFFFFu;
    if (width <= 8) {
      out->hex(bits >> 8, 2);
    } else {
      out->hex(bits, 4);
    }
    out->text("\n");
  }
  out->text("ENDCHAR\n");
}

}  // namespace

std::string bdfGlyphLines(const FontHeader& header, const CellGlyph* glyphs, std::size_t count) {
  // The font box's top lies at y = baselineRow - kCellMargin (see below).
  const int boxTop = header.baselineRow - kCellMargin;
  std::string lines;
  lines.reserve(count * 192);
  {
    TextOut out(&lines);
    for (std::size_t i = 0; i < count; ++i) {
      writeGlyph(&out, glyphs[i], header.pixelSize, boxTop);
    }
  }
  return lines;
}

bool writeBdfLines(std::FILE* file, const FontHeader& header, const std::vector<CellGlyph>& glyphs,
                   const std::vector<std::string>& lines) {
  // The font box is kAreaSize rows tall and its top is cell row kCellMargin,
  // so its top lies at y = baselineRow - kCellMargin, counting y upwards from
  // the baseline (cell row r spans y = baselineRow - 1 - r).
  const int ascent = header.baselineRow;
  const int descent = kCellSize - header.baselineRow;
  const int boxTop = header.baselineRow - kCellMargin;
  const std::string family = xlfdWord(header.family);
  std::fprintf(file, "STARTFONT 2.1\n%s", digestComment(digestOf(glyphs)).c_str());
  std::fprintf(file,
               "FONT -fontgraft-%s-Medium-R-Normal--%d-%d-72-72-C-160-ISO10646-1\n"
               "SIZE %d 72 72\n"
               "FONTBOUNDINGBOX %d %d 0 %d\n"
               "STARTPROPERTIES 3\n"
               "FONT_ASCENT %d\n"
               "FONT_DESCENT %d\n"
               "PIXEL_SIZE %d\n"
               "ENDPROPERTIES\n"
               "CHARS %lu\n",
               family.c_str(), header.pixelSize, header.pixelSize * 10, header.pixelSize, kAreaSize,
               kAreaSize, boxTop - kAreaSize, ascent, descent, header.pixelSize,
               static_cast<unsigned long>(glyphs.size()));
  const bool ok = writePieces(file, lines);
  std::fputs("ENDFONT\n", file);
  return ok && std::ferror(file) == 0;
}

bool writeBdfFont(std::FILE* file, const FontHeader& header, const std::vector<CellGlyph>& glyphs) {
  std::vector<std::string> lines;
  for (std::size_t from = 0; from < glyphs.size(); from += kGlyphsPerPiece) {
    lines.push_back(bdfGlyphLines(header, glyphs.data() + from,
                                  std::min(kGlyphsPerPiece, glyphs.size() - from)));
  }
  return writeBdfLines(file, header, glyphs, lines);
}

std::string codeMapLines(const CellGlyph* glyphs, std::size_t count) {
  std::string lines;
  lines.reserve(count * 32);
  {
    TextOut out(&lines);
    for (std::size_t i = 0; i < count; ++i) {
      out.text("        Char ");
      out.hex(glyphs[i].code, 4);
      out.text(" -> Index ");
      out.number(glyphs[i].code);
      out.text("\n");
    }
  }
  return lines;
}

bool writeCodeMapLines(std::FILE* file, const std::vector<std::string>& lines) {
  std::fputs(
      "cmap table: version 0, 1 subtables\n"
      "   Subtable 0:\n"
      "               Platform ID: 3\n"
      "               Specific ID: 1\n",
      file);
  return writePieces(file, lines) && std::ferror(file) == 0;
}

bool writeCodeMapFile(std::FILE* file, const std::vector<CellGlyph>& glyphs) {
  std::vector<std::string> lines;
  for (std::size_t from = 0; from < glyphs.size(); from += kGlyphsPerPiece) {
    lines.push_back(
        codeMapLines(glyphs.data() + from, std::min(kGlyphsPerPiece, glyphs.size() - from)));
  }
  return writeCodeMapLines(file, lines);
}
