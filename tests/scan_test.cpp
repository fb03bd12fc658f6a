#include "common/scan.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

struct ScanCase {
  const char* text;
  const char* pattern;
  int count;
  std::vector<int> values;
};

TEST(ScanPattern, ConvertsLikeTheCLibraryScanner) {
  // The random comparison below covers the common shapes; these are the
  // corners it rarely reaches.
  const ScanCase cases[] = {
      {"BBX8\t10   +1 -1x", "BBX %d %d %d %d", 4, {8, 10, 1, -1}},
      {"BBX 8 10 x 4", "BBX %d %d %d %d", 2, {8, 10}},
      {"STARTCHAR glyphID:12345", "STARTCHAR glyphID:%4x", 1, {0x1234}},
      {"STARTCHAR glyphID:0x1f", "STARTCHAR glyphID:%4x", 1, {0x1f}},
      {"STARTCHAR glyphID:-0x1f", "STARTCHAR glyphID:%4x", 1, {-1}},
      {"STARTCHAR glyphID:0xg", "STARTCHAR glyphID:%4x", 1, {0}},
      {"Specific ID:    -0001", "Specific ID:%4d", 1, {0}},
      {"Char 0041 -> Index 4294967297", "Char %4X -> Index %d", 2, {0x41, 1}},
      {"Char 0041 -> Index 99999999999999999999", "Char %4X -> Index %d", 2, {0x41, -1}},
      {"Char 0041 -> Index -99999999999999999999", "Char %4X -> Index %d", 2, {0x41, 0}},
  };
  for (const ScanCase& c : cases) {
    int out[4] = {};
    EXPECT_EQ(scanPattern(c.text, c.pattern, out, 4), c.count) << c.text;
    for (std::size_t i = 0; i < c.values.size(); ++i) {
      EXPECT_EQ(out[i], c.values[i]) << c.text << " #" << i;
    }
  }
}

// Random lines built from the characters that matter to these patterns agree
// with sscanf, count and values alike.
TEST(ScanPattern, AgreesWithSscanfOnRandomLines) {
  const std::string alphabet = " \t\r\n+-0123456789abcdefxXABCDEFgG:>-";
  const char* const patterns[] = {"FONTBOUNDINGBOX %d %d %d %d", "STARTCHAR glyphID:%4x",
                                  "Specific ID:%4d", "Char %4X -> Index %d"};
  std::mt19937 random(20261206);
  for (const char* pattern : patterns) {
    const std::string prefix(pattern, std::string(pattern).find('%'));
    for (int round = 0; round < 20000; ++round) {
      std::string text = prefix;
      const int length = static_cast<int>(random() % 24);
      for (int i = 0; i < length; ++i) {
        text += alphabet[random() % alphabet.size()];
      }
      if (round % 3 == 0) {
        text.replace(text.size() - std::min<std::size_t>(text.size(), 4), 0, " -> Index ");
      }
      int mine[4] = {};
      int theirs[4] = {};
      const int n = scanPattern(text.c_str(), pattern, mine, 4);
      const int expected =
          std::sscanf(text.c_str(), pattern, &theirs[0], &theirs[1], &theirs[2], &theirs[3]);
      ASSERT_EQ(n, expected < 0 ? 0 : expected) << pattern << " on [" << text << "]";
      for (int i = 0; i < n; ++i) {
        ASSERT_EQ(mine[i], theirs[i]) << pattern << " on [" << text << "]";
      }
    }
  }
}

}  // namespace
