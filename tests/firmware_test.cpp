#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "common/state.h"
#include "firmware/record.h"
#include "firmware/table.h"
#include "support.h"

namespace {

struct PackCase {
  const char* name;
  std::vector<std::pair<int, int>> rows;     // cell row, value
  std::vector<std::pair<int, int>> nonZero;  // record byte, value; all others 0
};

TEST(ConvBDF2KUVRA, PacksColumnStrips) {
  std::vector<std::pair<int, int>> column0;
  std::vector<std::pair<int, int>> diagonal;
  std::vector<std::pair<int, int>> diagonalBytes;
  for (int r = 0; r < kCellRows; ++r) {
    column0.push_back({r, 0x8000});
    diagonal.push_back({r, 0x8000 >> r});
    diagonalBytes.push_back({r < 8 ? r : 16 + r, 1 << (r % 8)});
  }
  const PackCase cases[] = {
      {"empty cell", {}, {}},
      {"top-left pixel", {{0, 0x8000}}, {{0, 0x01}}},
      {"row 0 full",
       {{0, 0xFFFF}},
       {{0, 1},
        {1, 1},
        {2, 1},
        {3, 1},
        {4, 1},
        {5, 1},
        {6, 1},
        {7, 1},
        {8, 1},
        {9, 1},
        {10, 1},
        {11, 1},
        {12, 1},
        {13, 1},
        {14, 1},
        {15, 1}}},
      {"row 15 full",
       {{15, 0xFFFF}},
       {{16, 0x80},
        {17, 0x80},
        {18, 0x80},
        {19, 0x80},
        {20, 0x80},
        {21, 0x80},
        {22, 0x80},
        {23, 0x80},
        {24, 0x80},
        {25, 0x80},
        {26, 0x80},
        {27, 0x80},
        {28, 0x80},
        {29, 0x80},
        {30, 0x80},
        {31, 0x80}}},
      {"column 0 full", column0, {{0, 0xFF}, {16, 0xFF}}},
      {"column 15, rows 0 to 7",
       {{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}, {7, 1}},
       {{15, 0xFF}}},
      {"diagonal", diagonal, diagonalBytes},
      {"bits above 15 are not read", {{3, 0x7FFF0000}}, {}},
  };
  for (const PackCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::memset(bmpbuf, 0, sizeof bmpbuf);
    std::memset(fntbuf, 0xAA, sizeof fntbuf);  // a previous glyph's record
    for (auto [row, value] : c.rows) {
      bmpbuf[row] = value;
    }
    convBDF2KUVRA();
    std::vector<int> expected(kRecordSize, 0);
    for (auto [byte, value] : c.nonZero) {
      expected[static_cast<std::size_t>(byte)] = value;
    }
    EXPECT_EQ(std::vector<int>(fntbuf, fntbuf + kRecordSize), expected);
  }
}

TEST(IsValidAddress, AcceptsTheFirstToTheLastSlot) {
  const std::pair<std::uint32_t, int> cases[] = {
      {0, 0},        {0x34C927, 0}, {0x34C928, 1},   {0x34C948, 1},
      {0x54C908, 1}, {0x54C909, 0}, {0xFFFFFFFF, 0},
  };
  for (auto [address, valid] : cases) {
    EXPECT_EQ(isValidAddress(address), valid) << std::hex << address;
  }
  EXPECT_EQ(slotAddress(0x41), 0x34C928u + 0x41 * 32);
  EXPECT_EQ(slotAddress(0xFFFF), kLastSlot);
}

class TableTest : public ::testing::Test {
 protected:
  // Stages a record of 32 bytes of `fill` at the slot of `code`.
  static void stage(std::uint16_t code, std::uint8_t fill) {
    std::memset(fntbuf, fill, sizeof fntbuf);
    writeKuvraFont(slotAddress(code));
  }
  // Flushes into the image at `path`, returning the result and what it printed.
  static std::pair<bool, std::string> flushInto(const std::string& path) {
    std::FILE* image = openImage(path.c_str());
    EXPECT_NE(image, nullptr);
    testing::internal::CaptureStdout();
    const bool ok = flushKuvraFont(image);
    std::fclose(image);
    return {ok, testing::internal::GetCapturedStdout()};
  }
  TempDir dir_;
};

TEST_F(TableTest, WritesOnlyTheStagedSlots) {
  const std::string path = dir_.file("image.bin");
  const std::string original(kLastSlot + 32 + 7, '\x5A');
  writeFile(path, original);
  stage(1, 0x11);
  stage(0xFFFF, 0x22);
  stage(3, 0x33);
  stage(1, 0x44);  // the later record for a slot wins
  stage(0, 0x55);
  writeKuvraFont(slotAddress(5) + 1);  // not a slot address: ignored
  EXPECT_EQ(flushInto(path), std::make_pair(true, std::string()));
  std::string expected = original;
  for (auto [code, fill] : {std::pair{0, 0x55}, {1, 0x44}, {3, 0x33}, {0xFFFF, 0x22}}) {
    expected.replace(kTableStart + 32u * static_cast<unsigned>(code), 32, 32,
                     static_cast<char>(fill));
  }
  EXPECT_EQ(readFile(path), expected);
  EXPECT_EQ(flushInto(path), std::make_pair(true, std::string()));  // nothing left staged
  EXPECT_EQ(readFile(path), expected);
}

TEST_F(TableTest, GrowsAShortImageToTheEndOfTheSlot) {
  const std::string path = dir_.file("short.bin");
  writeFile(path, "0123456789");
  stage(2, 0x66);
  EXPECT_EQ(flushInto(path), std::make_pair(true, std::string()));
  std::string expected =
      "0123456789" + std::string(slotAddress(2) - 10, '\0') + std::string(32, 'f');
  EXPECT_EQ(readFile(path), expected);
}

TEST_F(TableTest, ReportsFailuresToPutRecordsIntoTheImage) {
  const std::string fifo = dir_.file("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::pair<std::string, std::string> cases[] = {
      {"/dev/full", "firmware file write failed.\n"},
      {fifo, "firmware file seek failed.\n"},
  };
  for (const auto& [path, message] : cases) {
    stage(1, 0x11);
    stage(7, 0x77);
    EXPECT_EQ(flushInto(path), std::make_pair(false, message)) << path;
  }
}

}  // namespace
