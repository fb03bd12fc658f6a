// End-to-end runs of the built utility: stdout, exit status and image bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support.h"

namespace {

const std::string kUsage =
    "kuvra firmware font put utility\n"
    "Syntax: fontgraft <firmware-file> <font-file(.bdf)> -c <cmap-file>\n\n";

const std::string kFont =
    "STARTFONT 2.1\nFONTBOUNDINGBOX 16 14 0 -2\nCHARS 5\n"
    "STARTCHAR glyphID:0024\nENCODING 65\nBBX 16 1 -2 11\nBITMAP\n8001\nENDCHAR\n"
    "STARTCHAR notdef\nBBX 8 1 0 0\nBITMAP\nFF\nENDCHAR\n"
    "STARTCHAR glyphID:0025\nBBX 8 1 0 -2\nBITMAP\nFF\nENDCHAR\n"
    "STARTCHAR glyphID:0026\nBITMAP\nENDCHAR\n"
    "STARTCHAR glyphID:0027\nBITMAP\nFFFF\nENDCHAR\nENDFONT\n";

const std::string kCmap =
    "               Specific ID: 1\n"
    "        Char 0041 -> Index 36\n"
    "        Char 0061 -> Index 36\n"
    "        Char 0042 -> Index 37\n"
    "        Char 0000 -> Index 38\n";

const std::string kReport =
    "address:0x0034D148 font:U+0041\n"
    "address:0x0034D168 font:U+0042\n";

const std::string kImage = "firmware-image!!";

// The image after the font is installed: it grows to the end of the slot of
// U+0042; U+0041 holds column 0 and 15 of row 2, U+0042 columns 2 to 9 of row 15.
std::string installedImage() {
  std::string image = kImage + std::string(0x34C928 + 0x41 * 32 - kImage.size(), '\0');
  std::string glyphA(32, '\0');
  glyphA[0] = glyphA[15] = '\x04';
  std::string glyphB(32, '\0');
  for (int c = 2; c <= 9; ++c) {
    glyphB[static_cast<std::size_t>(16 + c)] = '\x80';
  }
  return image + glyphA + glyphB;
}

struct RunCase {
  const char* name;
  std::vector<std::string> args;  // $i, $f, $m: the image, font and code map; $d: a directory
  std::string out;
  int status;
  bool installs;
};

TEST(Fontgraft, FollowsTheArgumentRulesAndFailsSafely) {
  TempDir dir;
  const std::string missing = dir.file("missing");
  const RunCase cases[] = {
      {"no arguments", {}, kUsage, 1, false},
      {"three arguments", {"$i", "$f", "-c"}, kUsage, 1, false},
      {"-c installs", {"$i", "$f", "-c", "$m"}, kReport, 0, true},
      {"any word beginning -c", {"$i", "$f", "-cmap", "$m", "extra"}, kReport, 0, true},
      {"other option: no map", {"$i", "$f", "-x", "$m"}, "", 0, false},
      {"upper-case C: no map", {"$i", "$f", "-C", "$m"}, "", 0, false},
      {"lone dash: no map", {"$i", "$f", "-", "$m"}, "", 0, false},
      {"no dash, four arguments", {"$i", "$f", "c", "$m"}, kUsage, 1, false},
      {"no dash, five arguments", {"$i", "$f", "c", "$m", "x"}, "", 0, false},
      {"map missing",
       {"$i", "$f", "-c", missing},
       "CMAP file " + missing + " open failed.\nCMAP file read failed.\n",
       1,
       false},
      {"map missing, image missing",
       {missing, missing, "-c", missing},
       "CMAP file " + missing + " open failed.\nCMAP file read failed.\n",
       1,
       false},
      {"map is a directory",
       {"$i", "$f", "-c", "$d"},
       "CMAP file $d open failed.\nCMAP file read failed.\n",
       1,
       false},
      {"image missing", {missing, "$f", "-c", "$m"}, "firmware file open failed.\n", 1, false},
      {"image is a directory", {"$d", "$f", "-c", "$m"}, "firmware file open failed.\n", 1, false},
      {"image and font missing",
       {missing, missing, "-c", "$m"},
       "firmware file open failed.\n",
       1,
       false},
      {"font missing", {"$i", missing, "-c", "$m"}, "input file open failed.\n", 1, false},
      {"font is a directory", {"$i", "$d", "-c", "$m"}, "input file open failed.\n", 1, false},
      {"image cannot take the records",
       {"/dev/full", "$f", "-c", "$m"},
       kReport + "firmware file write failed.\n",
       1,
       false},
  };
  const std::string image = dir.file("image.bin");
  writeFile(dir.file("font.bdf"), kFont);
  writeFile(dir.file("cmap.txt"), kCmap);
  auto expand = [&](std::string text) {
    const std::pair<std::string, std::string> names[] = {{"$i", image},
                                                         {"$f", dir.file("font.bdf")},
                                                         {"$m", dir.file("cmap.txt")},
                                                         {"$d", dir.file("")}};
    for (const auto& [name, path] : names) {
      for (std::size_t at = text.find(name); at != std::string::npos; at = text.find(name, at)) {
        text.replace(at, name.size(), path);
        at += path.size();
      }
    }
    return text;
  };
  for (const RunCase& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(image, kImage);
    std::vector<std::string> args;
    for (const std::string& arg : c.args) {
      args.push_back(expand(arg));
    }
    const RunResult result = runTool(args);
    EXPECT_EQ(result.out, expand(c.out));
    EXPECT_EQ(result.status, c.status);
    EXPECT_TRUE(readFile(image) == (c.installs ? installedImage() : kImage));
  }
}

TEST(Fontgraft, InstallsTheExampleFont) {
  TempDir dir;
  const std::string image = dir.file("firmware.bin");
  const std::string blank(0x34C928 + 65536 * 32, '\0');
  writeFile(image, blank);
  const RunResult result = runTool(
      {image, FONTGRAFT_EXAMPLES "/blocky.bdf", "-c", FONTGRAFT_EXAMPLES "/blocky-cmap.txt"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out.substr(0, 31), "address:0x0034CD28 font:U+0020\n");
  EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 42);
  const std::string after = readFile(image);
  ASSERT_EQ(after.size(), blank.size());
  // Everything outside the printable ASCII slots stays blank.
  EXPECT_EQ(after.substr(0, 0x34C928 + 0x20 * 32), blank.substr(0, 0x34C928 + 0x20 * 32));
  EXPECT_EQ(after.substr(0x34C928 + 0x5B * 32), blank.substr(0x34C928 + 0x5B * 32));
}

}  // namespace
