// The firmware image's font table: one 32-byte glyph record per 16-bit
// character code, in code order, from byte offset 0x34C928 of the image.
//
// Records are staged in memory as glyphs are placed and put into the image by
// flushKuvraFont in as few writes as there are runs of adjacent slots; only
// the bytes of staged slots change. An image shorter than a slot grows to the
// end of that slot.
#ifndef FONTGRAFT_FIRMWARE_TABLE_H
#define FONTGRAFT_FIRMWARE_TABLE_H

#include <cstdint>
#include <cstdio>

#include "common/state.h"

constexpr std::uint32_t kTableStart = 0x34C928;

// Slot address of character code `code`.
constexpr std::uint32_t slotAddress(std::uint16_t code) {
  return kTableStart + static_cast<std::uint32_t>(code) * kRecordSize;
}

constexpr std::uint32_t kLastSlot = slotAddress(kCodes - 1);  // 0x54C908, the slot of code 0xFFFF
static_assert(kLastSlot == 0x54C908, "the table ends 2 MiB after its start");

// 1 when `address` lies between the first and the last slot address, bounds
// included; otherwise 0.
int isValidAddress(std::uint32_t address);

// Opens the image for reading and writing, without creating or truncating it.
std::FILE* openImage(const char* path);

// Stages the glyph record in `fntbuf` for the slot at `address`, which must be
// a slot address that passes isValidAddress; a later record for the same slot
// replaces it.
void writeKuvraFont(std::uint32_t address);

// Writes every staged record into `image` and forgets them. When positioning
// or writing fails, prints "firmware file seek failed." or "firmware file write
// failed." once, stops, and returns false.
bool flushKuvraFont(std::FILE* image);

// Forgets every staged record; the image is left as it is.
void discardKuvraFont();

// Reads the records of the `count` slots from code `first` on (first + count
// must not pass 65,536) into `into`. Returns how many of them, from the first,
// the image holds whole; the others lie past its end. Returns -1 when the
// image cannot be read.
int readKuvraFont(std::FILE* image, std::uint16_t first, int count,
                  std::uint8_t (*into)[kRecordSize]);

#endif
