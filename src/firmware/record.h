// Glyph record packing: the 16 x 16 glyph cell as the firmware's 32-byte
// record of vertical column strips.
//
//   bytes  0..15  upper band, cell rows 0..7:  byte c holds column c
//   bytes 16..31  lower band, cell rows 8..15: byte 16 + c holds column c
//
// Within a byte, bit j is the pixel j rows below the top of its band.
#ifndef FONTGRAFT_FIRMWARE_RECORD_H
#define FONTGRAFT_FIRMWARE_RECORD_H

// Packs `bmpbuf` into `fntbuf`, setting all 32 bytes.
void convBDF2KUVRA();

// The inverse: unpacks `fntbuf` into `bmpbuf`, setting all 16 rows.
void convKUVRA2BDF();

#endif
