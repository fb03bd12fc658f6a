#include "firmware/record.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/state.h"

namespace {

constexpr int kBandRows = 8;
constexpr int kColumns = 16;

// For a byte of 8 pixels (bit 7 the leftmost), the pixels one to a byte: byte k
// of the result is 1 when pixel k is set. Shifted left by j, the result puts
// each pixel at bit j of its column's byte, which is where row j of a band goes.
constexpr std::array<std::uint64_t, 256> makeSpread() {
  std::array<std::uint64_t, 256> spread{};
  for (unsigned b = 0; b < 256; ++b) {
    for (unsigned k = 0; k < 8; ++k) {
      spread[b] |= static_cast<std::uint64_t>((b >> (7 - k)) & 1u) << (8 * k);
    }
  }
  return spread;
}
constexpr std::array<std::uint64_t, 256> kSpread = makeSpread();

// Packs rows of either width into `record`.
template <typename Row>
inline void pack(const Row* rows, std::uint8_t* record) {
  // The record in four strips of 8 bytes: upper band columns 0-7 and 8-15,
  // then lower band columns 0-7 and 8-15.
  std::uint64_t strips[4] = {0, 0, 0, 0};
  for (int r = 0; r < kCellSize; ++r) {
    const auto row = static_cast<unsigned>(rows[r]);
    const auto left = static_cast<std::size_t>(r / kBandRows) * 2;  // strip of columns 0-7
    const int j = r % kBandRows;
    strips[left] |= kSpread[(row >> 8) & 0xFFu] << j;
    strips[left + 1] |= kSpread[row & 0xFFu] << j;
  }
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  std::memcpy(record, strips, sizeof strips);  // byte k of a strip: bits 8k to 8k + 7
#else
  for (int k = 0; k < kRecordSize; ++k) {
    record[k] = static_cast<std::uint8_t>(strips[k / 8] >> (8 * (k % 8)));
  }
#endif
  static_assert(kRecordSize == 2 * kColumns, "two bands of 16 column bytes");
}

template <typename Row>
inline void unpack(const std::uint8_t* record, Row* rows) {
  for (int r = 0; r < kCellSize; ++r) {
    const std::uint8_t* band = record + (r / kBandRows) * kColumns;
    const int bit = r % kBandRows;
    unsigned row = 0;
    for (int c = 0; c < kColumns; ++c) {
      row = row << 1 | ((band[c] >> bit) & 1u);
    }
    rows[r] = static_cast<Row>(row);
  }
}

}  // namespace

void packRecord(const std::uint16_t* rows, std::uint8_t* record) {
  pack(rows, record);
}

void unpackRecord(const std::uint8_t* record, std::uint16_t* rows) {
  unpack(record, rows);
}

void convBDF2KUVRA() {
  pack(bmpbuf, fntbuf);
}

void convKUVRA2BDF() {
  unpack(fntbuf, bmpbuf);
}
