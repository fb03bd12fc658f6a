// The line scanner against the C library's sscanf, and the quick readers of
// plainly spelled numbers against the scanner.
#include "common/scan.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

namespace {

Line lineOf(const std::string& text) {
  return Line{text.data(), text.size()};
}

// Random lines made of the characters that matter to the readers' patterns,
// long digit runs included, convert as sscanf converts them.
TEST(ScanPattern, AgreesWithSscanf) {
#if defined(_WIN32)
  GTEST_SKIP() << "this C library converts numbers out of range otherwise; the scanner follows "
                  "glibc's on every system, which the Linux build checks";
#endif
  const std::string alphabet = " \t\r\n+-0123456789abcdefxXABCDEFgG:>-99999999999";
  const char* const patterns[] = {"FONTBOUNDINGBOX %d %d %d %d", "STARTCHAR glyphID:%4x",
                                  "Specific ID:%4d", "Char %4X -> Index %d"};
  std::mt19937 random(20261206);
  for (const char* pattern : patterns) {
    const std::string prefix(pattern, std::string(pattern).find('%'));
    for (int round = 0; round < 20000; ++round) {
      std::string text = prefix;
      for (int i = static_cast<int>(random() % 32); i > 0; --i) {
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
      // The scan ends where the line does, whatever follows it in memory.
      const std::string cut = text.substr(0, text.size() / 2);
      const int cutCount = scanPattern(Line{text.data(), cut.size()}, pattern, mine, 4);
      ASSERT_EQ(cutCount, std::max(0, std::sscanf(cut.c_str(), pattern, &theirs[0], &theirs[1],
                                                  &theirs[2], &theirs[3])))
          << pattern << " on [" << cut << "]";
    }
  }
}

// Whatever the quick readers take, they read as the scanner does.
TEST(PlainNumbers, ReadAsTheScannerDoes) {
  const std::string alphabet = "0123456789-+ xXaAfFgG\n";
  std::mt19937 random(7);
  int taken = 0;
  for (int round = 0; round < 50000; ++round) {
    std::string text;
    for (int i = static_cast<int>(random() % 14); i > 0; --i) {
      text += alphabet[random() % (round % 2 == 0 ? 10 : alphabet.size())];
    }
    int plain = 0;
    int scanned = 0;
    const std::size_t length = plainDecimal(text.data(), text.size(), &plain);
    if (length != 0) {
      ++taken;
      ASSERT_EQ(scanPattern(lineOf(text), "%d", &scanned, 1), 1) << text;
      ASSERT_EQ(plain, scanned) << text;
      ASSERT_TRUE(length == text.size() || text[length] < '0' || text[length] > '9') << text;
    }
    if (text.size() >= 4 && plainHex4(text.data(), &plain)) {
      ++taken;
      ASSERT_EQ(scanPattern(lineOf(text), "%4x", &scanned, 1), 1) << text;
      ASSERT_EQ(plain, scanned) << text;
    }
  }
  EXPECT_GT(taken, 2000);
}

}  // namespace
