#include "readers/cmap.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support.h"

namespace {

const std::string kOpen = "               Specific ID: 1\n";

std::string mapping(unsigned code, long long index, const char* end = "\n") {
  char line[64];
  std::snprintf(line, sizeof line, "        Char %04X -> Index %lld%s", code, index, end);
  return line;
}

class CmapTest : public ::testing::Test {
 protected:
  // Reads `text` as a code map file; expects success.
  void load(const std::string& text) {
    writeFile(dir_.file("cmap.txt"), text);
    ASSERT_EQ(readCmap(dir_.file("cmap.txt").c_str()), 1);
  }
  TempDir dir_;
};

struct MapCase {
  const char* name;
  std::string text;
  long long entries;
  std::vector<std::pair<int, int>> lookups;  // glyph ID, expected code
};

TEST_F(CmapTest, ReadsTheMappingSection) {
  const MapCase cases[] = {
      {"no encoding line", mapping(0x41, 36), 0, {{36, 0}}},
      {"mapping before the section",
       mapping(0x41, 36) + kOpen + mapping(0x42, 37),
       1,
       {{36, 0}, {37, 0x42}}},
      {"ID 3 then ID 1",
       "               Specific ID: 3\n" + mapping(0x41, 36) + kOpen + mapping(0x42, 36),
       1,
       {{36, 0x42}}},
      {"ID 3 after the section",
       kOpen + mapping(0x41, 36) + "               Specific ID: 3\n" + mapping(0x42, 37),
       2,
       {{36, 0x41}, {37, 0x42}}},
      {"ID 10 is not 1", "               Specific ID: 10\n" + mapping(0x41, 36), 0, {{36, 0}}},
      {"ID at the wrong offset",
       "              Specific ID: 1\n" + mapping(0x41, 36) + "                Specific ID: 1\n" +
           mapping(0x41, 36),
       0,
       {{36, 0}}},
      {"first in file order wins", kOpen + mapping(0x41, 36) + mapping(0x61, 36), 2, {{36, 0x41}}},
      {"code 0 claims its index", kOpen + mapping(0, 36) + mapping(0x41, 36), 2, {{36, 0}}},
      {"low 16 bits of index and ID",
       kOpen + mapping(0x41, 65536 + 36),
       1,
       {{36, 0x41}, {65536 + 36, 0x41}, {-65536 + 36, 0x41}}},
      {"hex of either case, CR LF",
       kOpen + "        Char 00aB -> Index 1\r\n" + "        Char 00Cd -> Index 2\r\n",
       2,
       {{1, 0xAB}, {2, 0xCD}}},
      {"malformed lines",
       kOpen + "        Char 00041 -> Index 1\n" + "        Char 0041 => Index 2\n" +
           "       Char 0041 -> Index 3\n" + "         Char 0041 -> Index 4\n" +
           "        Char 0041 -> Index\n" + "        Char\n" + "short\n" + "\n",
       0,
       {{1, 0}, {2, 0}, {3, 0}, {4, 0}}},
      {"text after the numbers", kOpen + "        Char 0041 -> Index 5 ; A\n", 1, {{5, 0x41}}},
      {"no line end at the end", kOpen + "        Char 0041 -> Index 5", 1, {{5, 0x41}}},
      {"a long line comes in pieces",
       kOpen + std::string(253, 'x') + mapping(0x41, 7),
       1,
       {{7, 0x41}}},
      {"a short line after a long one",
       kOpen + "        Char 0041 -> Index 8\n" + "x\n",
       1,
       {{8, 0x41}}},
  };
  for (const MapCase& c : cases) {
    SCOPED_TRACE(c.name);
    load(c.text);
    EXPECT_EQ(cmapsize, c.entries);
    for (auto [id, code] : c.lookups) {
      EXPECT_EQ(getCharCode(id), code) << "glyph ID " << id;
    }
  }
}

// Every mapping line counts, well past 65,544 of them, and the first line of
// each index still answers.
TEST_F(CmapTest, TakesEveryMappingLine) {
  std::string text = kOpen;
  for (int i = 0; i < 70000; ++i) {
    text += mapping(static_cast<unsigned>(i % 60000 + 1), i % 60000 + 1000);
  }
  text += mapping(0x1234, 999);
  load(text);
  EXPECT_EQ(cmapsize, 70001);
  EXPECT_EQ(getCharCode(999), 0x1234);
  EXPECT_EQ(getCharCode(1005), 6);
  EXPECT_EQ(getCharCode(60999), 60000);
}

TEST_F(CmapTest, UnopenablePathKeepsTheMap) {
  load(kOpen + mapping(0x41, 36));
  for (const std::string& path : {dir_.file("missing.txt"), dir_.file("")}) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(readCmap(path.c_str()), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "CMAP file " + path + " open failed.\n");
    EXPECT_EQ(getCharCode(36), 0x41);
  }
}

}  // namespace
