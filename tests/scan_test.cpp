#include "common/scan.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

Line lineOf(const std::string& text) {
  return Line{text.data(), text.size()};
}

struct ScanCase {
  std::string text;
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
      // The line ends where its length says, NUL or not.
      {std::string("BBX 8 1\0 2 3", 12), "BBX %d %d %d %d", 2, {8, 1}},
      {"STARTCHAR glyphID:", "STARTCHAR glyphID:%4x", 0, {}},
  };
  for (const ScanCase& c : cases) {
    int out[4] = {};
    EXPECT_EQ(scanPattern(lineOf(c.text), c.pattern, out, 4), c.count) << c.text;
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
      const int n = scanPattern(lineOf(text), pattern, mine, 4);
      const int expected =
          std::sscanf(text.c_str(), pattern, &theirs[0], &theirs[1], &theirs[2], &theirs[3]);
      ASSERT_EQ(n, expected < 0 ? 0 : expected) << pattern << " on [" << text << "]";
      for (int i = 0; i < n; ++i) {
        ASSERT_EQ(mine[i], theirs[i]) << pattern << " on [" << text << "]";
      }
    }
  }
}

TEST(ScanPattern, StopsAtTheLinesEnd) {
  // Only the first `length` characters belong to the line; what follows in
  // memory is another line's and must not be read.
  const std::string memory = "BBX 16 14 0 -2\nBBX 1 2 3 4\n";
  const std::pair<std::size_t, std::vector<int>> cases[] = {
      {4, {}}, {5, {1}}, {6, {16}}, {12, {16, 14, 0}}, {13, {16, 14, 0}}, {14, {16, 14, 0, -2}}};
  for (const auto& [length, values] : cases) {
    int out[4] = {};
    ASSERT_EQ(scanPattern(Line{memory.data(), length}, "BBX %d %d %d %d", out, 4),
              static_cast<int>(values.size()))
        << length;
    for (std::size_t i = 0; i < values.size(); ++i) {
      EXPECT_EQ(out[i], values[i]) << length << " #" << i;
    }
  }
}

// Whatever the quick readers take, they read as the scanner does.
TEST(PlainNumbers, ReadAsTheScannerDoes) {
  const std::string alphabet = "0123456789-+ xXaAfFgG\n";
  std::mt19937 random(7);
  int decimalsTaken = 0;
  int hexTaken = 0;
  for (int round = 0; round < 50000; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 14);
    for (int i = 0; i < length; ++i) {
      text += alphabet[random() % (round % 2 == 0 ? 10 : alphabet.size())];
    }
    int plain = 0;
    int scanned = 0;
    const std::size_t taken = plainDecimal(text.data(), text.size(), &plain);
    if (taken != 0) {
      ++decimalsTaken;
      ASSERT_EQ(scanPattern(lineOf(text), "%d", &scanned, 1), 1) << text;
      ASSERT_EQ(plain, scanned) << text;
      ASSERT_TRUE(taken == text.size() || text[taken] < '0' || text[taken] > '9') << text;
    }
    if (text.size() >= 4 && plainHex4(text.data(), &plain)) {
      ++hexTaken;
      ASSERT_EQ(scanPattern(lineOf(text), "%4x", &scanned, 1), 1) << text;
      ASSERT_EQ(plain, scanned) << text;
    }
  }
  EXPECT_GT(decimalsTaken, 1000);
  EXPECT_GT(hexTaken, 1000);
}

}  // namespace
