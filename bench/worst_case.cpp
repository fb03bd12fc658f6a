#include "worst_case.h"

#include <array>
#include <cstdio>

namespace worst_case {

namespace {

// The shuffled order: entry k is the glyph index given to code k + 1. A
// Fisher-Yates shuffle of 0..65535 driven by a fixed xorshift generator; the
// last entry is left without a code.
const std::array<std::uint16_t, kGlyphs>& order() {
  static const std::array<std::uint16_t, kGlyphs> shuffled = [] {
    std::array<std::uint16_t, kGlyphs> a{};
    for (int i = 0; i < kGlyphs; ++i) {
      a[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(i);
    }
    std::uint32_t x = 2463534242u;
    for (int i = kGlyphs - 1; i > 0; --i) {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      const auto j = static_cast<std::size_t>(x % static_cast<std::uint32_t>(i + 1));
      std::swap(a[static_cast<std::size_t>(i)], a[j]);
    }
    return a;
  }();
  return shuffled;
}

bool close(std::FILE* file, bool ok) {
  ok = ok && std::ferror(file) == 0;
  return std::fclose(file) == 0 && ok;
}

bool writeFont(const std::string& path) {
  std::FILE* font = std::fopen(path.c_str(), "wb");
  if (font == nullptr) {
    return false;
  }
  std::fputs(
      "STARTFONT 2.1\n"
      "FONT -fontgraft-Worst-Medium-R-Normal--16-160-75-75-C-160-ISO10646-1\n"
      "SIZE 16 75 75\n"
      "FONTBOUNDINGBOX 16 14 0 -2\n"
      "STARTPROPERTIES 2\nFONT_ASCENT 12\nFONT_DESCENT 2\nENDPROPERTIES\n"
      "CHARS 65536\n",
      font);
  for (int g = 0; g < kGlyphs; ++g) {
    std::fprintf(font,
                 "STARTCHAR glyphID:%04x\nENCODING %d\nSWIDTH 1000 0\nDWIDTH 16 0\n"
                 "BBX 16 14 0 -2\nBITMAP\n",
                 g, g);
    for (int row = 0; row < kRows; ++row) {
      std::fprintf(font, "%04X\n", glyphRow(g, row));
    }
    std::fputs("ENDCHAR\n", font);
  }
  std::fputs("ENDFONT\n", font);
  return close(font, true);
}

bool writeCmap(const std::string& path) {
  std::FILE* cmap = std::fopen(path.c_str(), "wb");
  if (cmap == nullptr) {
    return false;
  }
  std::fputs(
      "cmap table: version 0, 1 subtables\n"
      "   Subtable 0:\n"
      "               Platform ID: 3\n"
      "               Specific ID: 1\n",
      cmap);
  for (int code = 1; code <= 0xFFFF; ++code) {
    std::fprintf(cmap, "        Char %04X -> Index %d\n", code, glyphOfCode(code));
  }
  return close(cmap, true);
}

bool writeImage(const std::string& path) {
  std::FILE* image = std::fopen(path.c_str(), "wb");
  if (image == nullptr) {
    return false;
  }
  static const char zeros[1 << 16] = {};
  bool ok = true;
  for (long left = kImageSize; ok && left > 0;) {
    const auto n = static_cast<std::size_t>(
        left < static_cast<long>(sizeof zeros) ? left : static_cast<long>(sizeof zeros));
    ok = std::fwrite(zeros, 1, n, image) == n;
    left -= static_cast<long>(n);
  }
  return close(image, ok);
}

}  // namespace

std::uint16_t glyphRow(int glyph, int row) {
  // A hash of the position, so that every glyph differs and every bit of a
  // row is used.
  std::uint32_t x = static_cast<std::uint32_t>(glyph) * 0x9E3779B1u +
                    static_cast<std::uint32_t>(row) * 0x85EBCA77u + 1u;
  x ^= x >> 15;
  x *= 0x2C1B3C6Du;
  x ^= x >> 12;
  return static_cast<std::uint16_t>(x);
}

int glyphOfCode(int code) {
  return order()[static_cast<std::size_t>(code - 1)];
}

std::string fontPath(const std::string& dir) {
  return dir + "/worst.bdf";
}
std::string cmapPath(const std::string& dir) {
  return dir + "/worst-cmap.txt";
}
std::string imagePath(const std::string& dir) {
  return dir + "/firmware.bin";
}

bool write(const std::string& dir) {
  return writeFont(fontPath(dir)) && writeCmap(cmapPath(dir)) && writeImage(imagePath(dir));
}

}  // namespace worst_case
