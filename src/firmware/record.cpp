#include "firmware/record.h"

#include <cstdint>

#include "common/state.h"

void convBDF2KUVRA() {
  constexpr int kBandRows = 8;
  constexpr int kColumns = 16;
  for (int c = 0; c < kColumns; ++c) {
    const int bit = kColumns - 1 - c;  // row bit that holds column c
    unsigned upper = 0;
    unsigned lower = 0;
    for (int j = 0; j < kBandRows; ++j) {
      upper |= ((static_cast<unsigned>(bmpbuf[j]) >> bit) & 1u) << j;
      lower |= ((static_cast<unsigned>(bmpbuf[kBandRows + j]) >> bit) & 1u) << j;
    }
    fntbuf[c] = static_cast<std::uint8_t>(upper);
    fntbuf[kColumns + c] = static_cast<std::uint8_t>(lower);
  }
}
