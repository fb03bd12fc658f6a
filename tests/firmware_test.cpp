#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "common/state.h"
#include "firmware/record.h"
#include "firmware/table.h"
#include "support.h"

namespace {

// A record of zeros but for runs of equal bytes: {first byte, count, value}.
std::vector<int> record(const std::vector<std::array<int, 3>>& runs) {
  std::vector<int> bytes(kRecordSize, 0);
  for (const auto& [first, count, value] : runs) {
    std::fill_n(bytes.begin() + first, count, value);
  }
  return bytes;
}

TEST(ConvBDF2KUVRA, PacksColumnStrips) {
  struct PackCase {
    const char* name;
    std::vector<int> cell;  // rows 0, 1, ...; the rest blank
    std::vector<int> record;
  };
  const std::vector<int> diagonal = {0x8000, 0x4000, 0x2000, 0x1000, 0x800, 0x400, 0x200, 0x100,
                                     0x80,   0x40,   0x20,   0x10,   0x8,   0x4,   0x2,   0x1};
  std::vector<int> diagonalBytes(kRecordSize, 0);
  for (int r = 0; r < kCellRows; ++r) {
    diagonalBytes[static_cast<std::size_t>(r < 8 ? r : 16 + r)] = 1 << (r % 8);
  }
  const PackCase cases[] = {
      {"empty cell", {}, record({})},
      {"top-left pixel", {0x8000}, record({{0, 1, 0x01}})},
      {"row 0 full", {0xFFFF}, record({{0, 16, 0x01}})},
      {"row 15 full",
       {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFFFF},
       record({{16, 16, 0x80}})},
      {"column 0 full", std::vector<int>(16, 0x8000), record({{0, 1, 0xFF}, {16, 1, 0xFF}})},
      {"column 15, rows 0 to 7", std::vector<int>(8, 1), record({{15, 1, 0xFF}})},
      {"diagonal", diagonal, diagonalBytes},
      {"bits above 15 are not read", {0, 0, 0, 0x7FFF0000}, record({})},
  };
  for (const PackCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::memset(bmpbuf, 0, sizeof bmpbuf);
    std::memset(fntbuf, 0xAA, sizeof fntbuf);  // a previous glyph's record
    std::copy(c.cell.begin(), c.cell.end(), bmpbuf);
    convBDF2KUVRA();
    EXPECT_EQ(std::vector<int>(fntbuf, fntbuf + kRecordSize), c.record);
  }
}

// Unpacking is the inverse of packing, both ways round: every cell comes back
// from its record, and every record from its cell.
TEST(ConvKUVRA2BDF, UndoesThePacking) {
  std::mt19937 random(5);
  for (int round = 0; round < 2000; ++round) {
    int cell[kCellRows];
    for (int& row : cell) {
      row = static_cast<int>(random() & (round % 4 == 0 ? 0x8001u : 0xFFFFu));
    }
    std::copy(cell, cell + kCellRows, bmpbuf);
    convBDF2KUVRA();
    std::uint8_t record[kRecordSize];
    std::memcpy(record, fntbuf, kRecordSize);
    std::fill(bmpbuf, bmpbuf + kCellRows, -1);  // a previous glyph's rows
    convKUVRA2BDF();
    ASSERT_TRUE(std::equal(cell, cell + kCellRows, bmpbuf)) << "round " << round;

    for (std::uint8_t& byte : record) {
      byte = static_cast<std::uint8_t>(random());
    }
    std::memcpy(fntbuf, record, kRecordSize);
    convKUVRA2BDF();
    convBDF2KUVRA();
    ASSERT_EQ(std::memcmp(fntbuf, record, kRecordSize), 0) << "round " << round;
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
