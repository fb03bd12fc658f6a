// The largest input end to end: every glyph ID, every code, the whole table.
// The expected image is worked out pixel by pixel from the generator's own
// description of each glyph, independently of the utility's packing.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support.h"
#include "worst_case.h"

namespace {

constexpr std::size_t kTableStart = 0x34C928;

// The record of one glyph of the generated font: the font and every glyph box
// are 16 x 14 with y offset -2, so row `row` of a glyph lands on cell row
// row + 2, moved right by 2 columns.
std::string expectedRecord(int glyph) {
  std::string record(32, '\0');
  for (int row = 0; row < worst_case::kRows; ++row) {
    const int cellRow = row + 2;
    const int bits = worst_case::glyphRow(glyph, row) >> 2;
    for (int column = 0; column < 16; ++column) {
      if ((bits >> (15 - column)) & 1) {
        record[static_cast<std::size_t>((cellRow / 8) * 16 + column)] |=
            static_cast<char>(1 << (cellRow % 8));
      }
    }
  }
  return record;
}

TEST(Fontgraft, InstallsTheLargestFontExactly) {
  TempDir dir;
  ASSERT_TRUE(worst_case::write(dir.path()));

  std::vector<int> codeOfGlyph(worst_case::kGlyphs, 0);
  for (int code = 1; code <= 0xFFFF; ++code) {
    codeOfGlyph[static_cast<std::size_t>(worst_case::glyphOfCode(code))] = code;
  }
  std::string image(static_cast<std::size_t>(worst_case::kImageSize), '\0');
  std::string report;
  for (int glyph = 0; glyph < worst_case::kGlyphs; ++glyph) {
    const int code = codeOfGlyph[static_cast<std::size_t>(glyph)];
    if (code == 0) {
      continue;  // the one glyph the map leaves out
    }
    const std::size_t slot = kTableStart + static_cast<std::size_t>(code) * 32;
    image.replace(slot, 32, expectedRecord(glyph));
    char line[64];
    std::snprintf(line, sizeof line, "address:0x%08zX font:U+%04X\n", slot, code);
    report += line;
  }

  const RunResult result =
      runTool({worst_case::imagePath(dir.path()), worst_case::fontPath(dir.path()), "-c",
               worst_case::cmapPath(dir.path())});
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(result.out == report) << "the report lines differ";
  EXPECT_TRUE(readFile(worst_case::imagePath(dir.path())) == image) << "the image differs";
}

}  // namespace
