#include "readers/bdf.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "common/state.h"
#include "common/textfile.h"
#include "support.h"

namespace {

struct Glyph {
  int rows;
  bool hasId;
  int id;
  std::vector<int> cell;
};

// Every glyph getFont delivers from `font`, up to the end of the font.
std::vector<Glyph> readGlyphs(const std::string& font) {
  startFont(streamOf(font));
  std::vector<Glyph> glyphs;
  for (int rows = getFont(); rows != kEndOfFont && glyphs.size() < 5000; rows = getFont()) {
    glyphs.push_back({rows, hasglyphid, glyphid, std::vector<int>(bmpbuf, bmpbuf + kCellRows)});
  }
  std::fclose(fp);
  fp = nullptr;
  return glyphs;
}

// A cell with the given rows set and every other row blank.
std::vector<int> cellWith(const std::vector<std::pair<int, int>>& rows) {
  std::vector<int> cell(kCellRows, 0);
  for (auto [row, value] : rows) {
    cell[static_cast<std::size_t>(row)] = value;
  }
  return cell;
}

std::string glyph(const std::string& id, const std::string& bbx, const std::string& rows) {
  return "STARTCHAR glyphID:" + id + "\nBBX " + bbx + "\nBITMAP\n" + rows + "ENDCHAR\n";
}

std::string repeat(const std::string& line, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) {
    text += line;
  }
  return text;
}

const std::string kHeader = "STARTFONT 2.1\nFONTBOUNDINGBOX 16 14 0 -2\nCHARS 1\n";

struct PlaceCase {
  const char* name;
  std::string font;
  int rows;
  std::vector<int> cell;
};

TEST(GetFont, PlacesTheGlyphInTheCell) {
  const PlaceCase cases[] = {
      {"font box 12 12 0 -2, glyph box 8 10 1 -1",
       "FONTBOUNDINGBOX 12 12 0 -2\n" + glyph("24", "8 10 1 -1", repeat("FF\n", 10)), 10,
       std::vector<int>{0, 0, 0, 0x1FE0, 0x1FE0, 0x1FE0, 0x1FE0, 0x1FE0, 0x1FE0, 0x1FE0, 0x1FE0,
                        0x1FE0, 0x1FE0, 0, 0, 0}},
      {"two and four digit rows", kHeader + glyph("1", "16 2 -2 0", "ABCD\n81\n"), 2,
       cellWith({{12, 0xABCD}, {13, 0x8100}})},
      {"CR LF line ends",
       "FONTBOUNDINGBOX 16 14 0 -2\r\n" + glyph("1", "16 2 -2 0", "ABCD\r\n81\r\n"), 2,
       cellWith({{12, 0xABCD}, {13, 0x8100}})},
      {"wide and empty rows keep their places",
       kHeader + glyph("1", "8 4 0 0", "FF\nFFFFFF\n\nFF\n"), 4,
       cellWith({{10, 0x3FC0}, {13, 0x3FC0}})},
      {"no BBX line: box 0 0 0 0", kHeader + "STARTCHAR glyphID:1\nBITMAP\nFF\nFF\nFF\nENDCHAR\n",
       3, cellWith({{14, 0x3FC0}, {15, 0x3FC0}})},
      {"a long row comes in pieces",
       kHeader + glyph("1", "8 2 0 0", std::string(253, '0') + "80\n"), 2,
       cellWith({{13, 0x2000}})},
      {"last row without a line end", kHeader + "STARTCHAR glyphID:1\nBBX 8 2 0 0\nBITMAP\n80\n80",
       2, cellWith({{12, 0x2000}})},
      {"rows above and below the cell are dropped",
       kHeader + glyph("1", "8 22 0 -2", repeat("80\n", 24)), 24,
       std::vector<int>(kCellRows, 0x2000)},
      {"box values at the int limits",
       "FONTBOUNDINGBOX 1 2147483647 0 2147483647\n" +
           glyph("1", "1 -2147483648 -2147483648 -2147483648", "FF\n"),
       1, cellWith({})},
      {"x offset far left and far right",
       "FONTBOUNDINGBOX 16 16 0 0\n" + glyph("1", "16 2 -9 14", "8001\n8001\n"), 2,
       cellWith({{2, 0x0080}, {3, 0x0080}})},
  };
  for (const PlaceCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<Glyph> glyphs = readGlyphs(c.font);
    ASSERT_EQ(glyphs.size(), 1u);
    EXPECT_EQ(glyphs[0].rows, c.rows);
    EXPECT_EQ(glyphs[0].cell, c.cell);
  }
}

TEST(GetFont, DeliversEveryGlyphInOrder) {
  struct Expected {
    int rows;
    bool hasId;
    int id;
  };
  struct SequenceCase {
    const char* name;
    std::string font;
    std::vector<Expected> glyphs;
  };
  const SequenceCase cases[] = {
      {"empty bitmaps are glyphs too",
       kHeader + glyph("20", "0 0 0 0", "") + glyph("21", "8 1 0 0", "FF\n") +
           "STARTCHAR glyphID:22\nBITMAP",
       {{0, true, 0x20}, {1, true, 0x21}, {0, true, 0x22}}},
      {"a name without an ID borrows none",
       kHeader + glyph("30", "8 1 0 0", "FF\n") + "STARTCHAR space\nBITMAP\nENDCHAR\n" +
           "STARTCHAR glyphID:\nBITMAP\nENDCHAR\n" + "BITMAP\nENDCHAR\n",
       {{1, true, 0x30}, {0, false, 0}, {0, false, 0}, {0, false, 0}}},
      {"IDs take up to four hex digits",
       glyph("12345", "", "") + glyph("-1", "", "") + glyph("fFfF", "", ""),
       {{0, true, 0x1234}, {0, true, -1}, {0, true, 0xFFFF}}},
      {"a glyph without BITMAP runs into the next",
       kHeader + "STARTCHAR glyphID:40\nBBX 8 1 0 0\nENDCHAR\n" +
           glyph("41", "8 2 0 0", "FF\nFF\n"),
       {{2, true, 0x41}}},
      {"a glyph without ENDCHAR takes the next glyph's lines",
       kHeader + "STARTCHAR glyphID:50\nBITMAP\nFF\n" + glyph("51", "8 1 0 0", "FF\n"),
       {{5, true, 0x50}}},
      {"no glyph at all", kHeader + "ENDFONT\n", {}},
  };
  for (const SequenceCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<Glyph> glyphs = readGlyphs(c.font);
    ASSERT_EQ(glyphs.size(), c.glyphs.size());
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
      EXPECT_EQ(glyphs[i].rows, c.glyphs[i].rows) << "glyph " << i;
      EXPECT_EQ(glyphs[i].hasId, c.glyphs[i].hasId) << "glyph " << i;
      EXPECT_EQ(glyphs[i].id, c.glyphs[i].id) << "glyph " << i;
    }
  }
}

// The font box is read once, from the header, and holds for later glyphs; a
// glyph without a BBX line in a later call is placed with a box of 0 0 0 0.
TEST(GetFont, KeepsTheFontBoxAcrossGlyphs) {
  const std::vector<Glyph> glyphs = readGlyphs(kHeader + glyph("1", "8 1 0 0", "FF\n") +
                                               "STARTCHAR glyphID:2\nBITMAP\nFF\nENDCHAR\n");
  ASSERT_EQ(glyphs.size(), 2u);
  EXPECT_EQ(glyphs[0].cell, cellWith({{13, 0x3FC0}}));
  EXPECT_EQ(glyphs[1].cell, cellWith({{14, 0x3FC0}}));
}

// Thousands of glyphs, with lines of every length up to past the piece size,
// so that lines fall across every kind of boundary of the reader's blocks.
TEST(GetFont, ReadsALargeFontWhole) {
  std::string font = kHeader;
  for (int g = 0; g < 3000; ++g) {
    char rows[32];
    std::snprintf(rows, sizeof rows, "%04X\n%02X\n", g, g & 0xFF);
    font += "COMMENT " + std::string(static_cast<std::size_t>(g % 300), 'c') + "\n" +
            glyph(std::to_string(g), "16 2 -2 0", rows);
  }
  const std::vector<Glyph> glyphs = readGlyphs(font);
  ASSERT_EQ(glyphs.size(), 3000u);
  for (int g = 0; g < 3000; ++g) {
    const Glyph& got = glyphs[static_cast<std::size_t>(g)];
    ASSERT_EQ(got.id, std::stoi(std::to_string(g), nullptr, 16)) << g;
    ASSERT_EQ(got.cell, cellWith({{12, g}, {13, (g & 0xFF) << 8}})) << g;
  }
}

TEST(RowValue, TakesEachDigitPlace) {
  const std::pair<std::string, int> cases[] = {
      {"FF\n", 0xFF00},     {"fF\r\n", 0xFF00},
      {"FF  \n", 0xFF00},   {"-1\n", 0x0100},
      {"G1\n", 0x0100},     {"A\r\n", 0xA000},
      {"AB\rCD\n", 0xAB00}, {"1234\n", 0x1234},
      {"12 4\r\n", 0x1204}, {std::string("\0F\n", 3), 0x0F00},
      {"12345\n", -1},      {"\n", -1},
      {"\r\n", -1},         {"1234", -1},
      {"123\n", -1},
  };
  for (const auto& [text, value] : cases) {
    EXPECT_EQ(rowValue(Line{text.data(), text.size()}), value) << text;
  }
}

TEST(ShiftRow, KeepsRowsWithinSixteenBits) {
  const std::pair<long long, int> cases[] = {
      {0, 0xF00F},  {1, 0x7807},  {15, 0x1},     {16, 0},  {31, 0},        {LLONG_MAX, 0},
      {-1, 0xE01E}, {-4, 0x00F0}, {-15, 0x8000}, {-16, 0}, {LLONG_MIN, 0},
  };
  for (auto [shift, value] : cases) {
    EXPECT_EQ(shiftRow(0xF00F, shift), value) << "shift " << shift;
  }
}

}  // namespace
