// End-to-end runs of the viewer on images made by the utility.
#include <gtest/gtest.h>

#if FONTGRAFT_SHOW_PNG
#include <png.h>
#endif

#include <filesystem>
#include <string>
#include <vector>

#include "support.h"

namespace {

constexpr std::size_t kTableStart = 0x34C928;

const std::string kGlyphA =
    "U+0041 0x0034D148\n"
    "................\n"
    "................\n"
    "....######......\n"
    "....######......\n"
    "..##......##....\n"
    "..##......##....\n"
    "..##......##....\n"
    "..##......##....\n"
    "..##########....\n"
    "..##########....\n"
    "..##......##....\n"
    "..##......##....\n"
    "..##......##....\n"
    "..##......##....\n"
    "..##......##....\n"
    "..##......##....\n";

// An image of `size` bytes with the example font installed.
std::string installExample(const TempDir& dir, std::size_t size) {
  const std::string image = dir.file("firmware.bin");
  writeFile(image, std::string(size, '\0'));
  const RunResult installed = runTool(
      {image, FONTGRAFT_EXAMPLES "/blocky.bdf", "-c", FONTGRAFT_EXAMPLES "/blocky-cmap.txt"});
  EXPECT_EQ(installed.status, 0);
  std::filesystem::resize_file(image, size);  // the install grows a short image
  return image;
}

TEST(FontgraftShow, DrawsTheInstalledGlyphs) {
  TempDir dir;
  const std::string image = installExample(dir, kTableStart + 65536 * 32);
  const std::string blank = "U+0000 0x0034C928\n" + [] {
    std::string rows;
    for (int r = 0; r < 16; ++r) {
      rows += "................\n";
    }
    return rows;
  }();
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{image, "U+0041"}, kGlyphA},
      {{image, "41"}, kGlyphA},
      {{image, "0x41", "0X0041"}, kGlyphA},
      {{image, "u+41", "41"}, kGlyphA},
      {{image, "0"}, blank},
      {{"--scale", "3", image, "41"}, kGlyphA},
  };
  for (const auto& [args, out] : cases) {
    const RunResult result = runShow(args);
    EXPECT_EQ(result.status, 0) << args[1];
    EXPECT_EQ(result.out, out) << args[1];
    EXPECT_EQ(result.err, "") << args[1];
  }
  const RunResult range = runShow({image, "41", "5A"});
  EXPECT_EQ(range.out.substr(0, kGlyphA.size()), kGlyphA);
  EXPECT_EQ(std::count(range.out.begin(), range.out.end(), '\n'), 26 * 17);
  EXPECT_NE(range.out.find("U+005A 0x0034D468\n"), std::string::npos);
}

TEST(FontgraftShow, ReportsSlotsPastTheEndOfTheImage) {
  TempDir dir;
  // Slot U+0041 whole, U+0042 cut short, U+0043 beyond the end.
  const std::string image = installExample(dir, kTableStart + 0x42 * 32 + 10);
  const RunResult result = runShow({image, "41", "43"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, kGlyphA + "U+0042 0x0034D168 missing\nU+0043 0x0034D188 missing\n");
}

TEST(FontgraftShow, FailsWithOneLineAndWritesNothing) {
  TempDir dir;
  const std::string image = installExample(dir, kTableStart + 65536 * 32);
  const std::string png = dir.file("sheet.png");
  const std::string lost = dir.file("no-such-folder/sheet.png");
  const std::vector<std::string> cases[] = {
      {image, "G1"},
      {image, "U+10000"},
      {image, "U+"},
      {image, ""},
      {image, "-41"},
      {image, "42", "41"},
      {image},
      {image, "41", "42", "43"},
      {dir.file("missing.bin"), "41"},
      {dir.file(""), "41"},
      {"--png", png, "--bogus", image, "41"},
      {"--png", lost, image, "41"},
      {"--png", png, "--scale", "0", image, "41"},
      {"--png", png, "--scale", "17", image, "41"},
      {"--png", png, "--scale", "x", image, "41"},
      {"--png", png, dir.file("missing.bin"), "41"},
      {image, "41", "--png"},
      {"--png", image, image, "41"},
  };
  for (const std::vector<std::string>& args : cases) {
    std::string shown;
    for (const std::string& arg : args) {
      shown += " [" + arg + "]";
    }
    const RunResult result = runShow(args);
    EXPECT_EQ(result.status, 1) << shown;
    EXPECT_EQ(result.out, "") << shown;
    EXPECT_EQ(result.err.rfind("fontgraft-show: ", 0), 0u) << shown;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << shown << result.err;
    EXPECT_FALSE(std::filesystem::exists(png)) << shown;
    EXPECT_FALSE(std::filesystem::exists(png + ".part")) << shown;
    EXPECT_EQ(std::filesystem::file_size(image), kTableStart + 65536 * 32) << shown;
  }
}

TEST(FontgraftShow, PrintsItsHelp) {
  for (const char* option : {"-h", "--help"}) {
    const RunResult result = runShow({option});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out.rfind("fontgraft-show: draws the glyphs", 0), 0u);
    EXPECT_EQ(result.err, "");
  }
}

#if FONTGRAFT_SHOW_PNG

struct Sheet {
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  std::vector<png_byte> rgb;
  std::string pixel(png_uint_32 x, png_uint_32 y) const {
    const png_byte* p = &rgb[(y * width + x) * 3];
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02X%02X%02X", p[0], p[1], p[2]);
    return hex;
  }
};

Sheet readSheet(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  Sheet sheet;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
    return sheet;
  }
  image.format = PNG_FORMAT_RGB;
  sheet.rgb.resize(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, sheet.rgb.data(), 0, nullptr) != 0) {
    sheet.width = image.width;
    sheet.height = image.height;
  }
  return sheet;
}

TEST(FontgraftShow, WritesAContactSheet) {
  TempDir dir;
  // U+0041 whole, U+0042 onwards past the end of the image.
  const std::string image = installExample(dir, kTableStart + 0x42 * 32);
  const std::string png = dir.file("sheet.png");
  const RunResult result = runShow({"--png", png, "--scale", "2", image, "U+0041", "U+0050"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "");
  const Sheet sheet = readSheet(png);
  // Rows start at multiples of 16: U+0040 to U+004F, then U+0050 to U+005F;
  // each cell 16 x 2 pixels and a grid line.
  ASSERT_EQ(sheet.width, 16u * 33 + 1);
  ASSERT_EQ(sheet.height, 2u * 33 + 1);
  const png_uint_32 a = 1 + 33;  // left edge of U+0041's cell
  const std::pair<std::pair<png_uint_32, png_uint_32>, std::string> pixels[] = {
      {{0, 0}, "B4B4B4"},                  // grid
      {{10, 10}, "B4B4B4"},                // U+0040: outside the range
      {{a + 4 * 2, 1 + 2 * 2}, "000000"},  // U+0041 row 2, column 4: set
      {{a + 5 * 2 + 1, 1 + 3 * 2 + 1}, "000000"},
      {{a, 1}, "FFFFFF"},                // row 0, column 0: clear
      {{a + 33 + 5, 5}, "F4C2C2"},       // U+0042: past the end of the image
      {{1 + 5, 34 + 5}, "F4C2C2"},       // U+0050: likewise
      {{1 + 33 + 5, 34 + 5}, "B4B4B4"},  // U+0051: outside the range
  };
  for (const auto& [at, colour] : pixels) {
    EXPECT_EQ(sheet.pixel(at.first, at.second), colour) << at.first << "," << at.second;
  }

  const RunResult both = runShow({"--png", png, "--text", image, "41"});
  EXPECT_EQ(both.status, 0);
  EXPECT_EQ(both.out, kGlyphA);
  EXPECT_EQ(readSheet(png).width, 16u * 65 + 1);  // the default scale, 4
}

#endif

}  // namespace
