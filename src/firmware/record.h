// Glyph record packing: the 16 x 16 glyph cell as the firmware's 32-byte
// record of vertical column strips.
//
//   bytes  0..15  upper band, cell rows 0..7:  byte c holds column c
//   bytes 16..31  lower band, cell rows 8..15: byte 16 + c holds column c
//
// Within a byte, bit j is the pixel j rows below the top of its band.
#ifndef FONTGRAFT_FIRMWARE_RECORD_H
#define FONTGRAFT_FIRMWARE_RECORD_H

#include <cstdint>

#include "common/state.h"

// A cell as the tools hold it: kCellSize rows, row 0 at the top, bit 15 of a
// row its leftmost pixel (column 0).

// The pixel at `row`, `column` of the cell `rows`.
inline bool pixelAt(const std::uint16_t* rows, int row, int column) {
  return ((rows[row] >> (kCellSize - 1 - column)) & 1u) != 0;
}

// Packs the cell `rows` into the kRecordSize bytes of `record`.
void packRecord(const std::uint16_t* rows, std::uint8_t* record);

// The inverse: unpacks the record into the kCellSize rows of `rows`.
void unpackRecord(const std::uint8_t* record, std::uint16_t* rows);

// The utility's glyph: packs `bmpbuf` into `fntbuf`.
void convBDF2KUVRA();

// The inverse: unpacks `fntbuf` into `bmpbuf`, setting all 16 rows.
void convKUVRA2BDF();

#endif
