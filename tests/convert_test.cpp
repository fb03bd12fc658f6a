// Packaged fonts converted and installed: every code the font maps gets its
// slot, and every glyph stands in it pixel for pixel as FreeType draws it,
// moved only as far as the converter says and clipped only where it says.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "convert/render.h"
#include "support.h"

namespace {

struct FontCase {
  const char* name;
  const char* path;
  const char* options;
  int face;
  int first;  // first row and column of the area glyphs may use
};

void PrintTo(const FontCase& font, std::ostream* os) {
  *os << font.path << " " << font.options;
}

class PackagedFont : public ::testing::TestWithParam<FontCase> {};

TEST_P(PackagedFont, InstallsEveryGlyphWhole) {
  const FontCase& font = GetParam();
  if (!std::filesystem::exists(font.path)) {
    GTEST_SKIP() << font.path << " is not installed";
  }
  TempDir dir;
  const std::string image = dir.file("image.bin");
  writeFile(image, std::string(0x34C928 + 65536 * 32, '\0'));
  const std::string convert = std::string(FONTGRAFT_CONVERT_BIN) + " -v " + font.options +
                              " --face " + std::to_string(font.face) + " " + font.path + " " +
                              dir.file("font.bdf") + " " + dir.file("cmap.txt") + " 2>" +
                              dir.file("log") + " && " + FONTGRAFT_BIN + " " + image + " " +
                              dir.file("font.bdf") + " -c " + dir.file("cmap.txt") + " | wc -l";
  std::FILE* pipe = popen(convert.c_str(), "r");
  long reported = 0;
  ASSERT_EQ(std::fscanf(pipe, "%ld", &reported), 1);
  ASSERT_EQ(pclose(pipe), 0);

  // What the converter said: each code moved or clipped, then the summary.
  std::map<int, std::pair<int, int>> moves;  // code: rows down, columns right
  std::map<int, bool> clipped;
  int size = 0;
  int baseline = 0;
  std::istringstream log(readFile(dir.file("log")));
  const std::regex move(
      R"(U\+(\w+) moved (?:(\d+) rows? (up|down))?(?:, )?(?:(\d+) columns? (left|right))?)");
  const std::regex summary(R"(at (\d+) pixels per em .* baseline above cell row (\d+))");
  for (std::string line; std::getline(log, line);) {
    std::smatch m;
    const int code = line.rfind("U+", 0) == 0 ? std::stoi(line.substr(2, 4), nullptr, 16) : -1;
    if (std::regex_search(line, m, move)) {
      moves[code] = {m[2].matched ? std::stoi(m[2]) * (m[3] == "up" ? -1 : 1) : 0,
                     m[4].matched ? std::stoi(m[4]) * (m[5] == "left" ? -1 : 1) : 0};
    } else if (line.find(" clipped: ") != std::string::npos) {
      clipped[code] = true;
    } else if (std::regex_search(line, m, summary)) {
      size = std::stoi(m[1]);
      baseline = std::stoi(m[2]);
    }
  }
  ASSERT_GT(size, 0) << readFile(dir.file("log"));

  FaceInfo info;
  std::string error;
  ASSERT_TRUE(openFace(font.path, font.face, &info, &error)) << error;
  const bool grey = std::string(font.options).find("grey") != std::string::npos;
  ASSERT_TRUE(setSize(size, grey ? Rendering::kGrey : Rendering::kAuto, 128, &error)) << error;
  const std::string after = readFile(image);
  long codes = 0;
  for (const auto& [code, glyph] : mappedCodes()) {
    ++codes;
    Bitmap bitmap;
    ASSERT_TRUE(renderGlyph(glyph, &bitmap)) << code;
    std::string want(32, '\0');
    for (int y = 0; y < bitmap.height && !clipped[code]; ++y) {
      for (int x = 0; x < bitmap.width; ++x) {
        const int r = baseline - bitmap.top + y + moves[code].first;
        const int c = font.first + bitmap.left + x + moves[code].second;
        if (bitmap.at(x, y)) {
          ASSERT_TRUE(r >= font.first && r < 16 && c >= font.first && c < 16) << code;
          want[static_cast<std::size_t>(r / 8 * 16 + c)] |= static_cast<char>(1 << r % 8);
        }
      }
    }
    const std::string got = after.substr(0x34C928 + 32 * static_cast<std::size_t>(code), 32);
    if (!clipped[code]) {
      ASSERT_EQ(got, want) << "U+" << std::hex << code;
    }
  }
  EXPECT_EQ(reported, codes);
}

INSTANTIATE_TEST_SUITE_P(
    , PackagedFont,
    ::testing::Values(
        FontCase{"DejaVuSans", "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", "", 0, 2},
        FontCase{"DejaVuSansGrey", "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                 "--render grey --size 15", 0, 2},
        FontCase{"ZenHei", "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc", "", 0, 2},
        FontCase{"ZenHeiSharpBitmaps", "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc", "", 2, 2},
        FontCase{"UnifontFilled", "/usr/share/fonts/opentype/unifont/unifont.otf", "--fill", 0, 0}),
    [](const ::testing::TestParamInfo<FontCase>& info) { return std::string(info.param.name); });

}  // namespace
