// scanf-style scanning of one line at a fixed position.
//
// The font and code map lines are read with patterns such as
// "BBX %d %d %d %d". scanPattern gives exactly the results of the C library's
// scanner for such patterns, numbers out of range included, without its
// undefined behaviour:
//   - a blank in the pattern matches any run of white space, none included;
//   - any other plain character must match the text exactly;
//   - %d, %x and %X (optionally with a width, as in %4x) skip white space,
//     then read an optional sign and digits (hex digits of either case and an
//     optional 0x or 0X prefix for %x and %X), taking at most `width`
//     characters, sign and prefix included;
//   - a %d value beyond the range of a 64-bit long is clamped to it, then,
//     like every value, cut to its low 32 bits;
//   - the scan stops at the first mismatch, at a NUL or at the line's end;
//     the numbers converted before it stand.
#ifndef FONTGRAFT_COMMON_SCAN_H
#define FONTGRAFT_COMMON_SCAN_H

#include <cstddef>
#include <cstdint>

#include "common/textfile.h"

// Scans `line` with `pattern` and stores the numbers converted, in order, in
// out[0 .. maxOut-1]. Returns how many numbers were converted.
int scanPattern(Line line, const char* pattern, int* out, int maxOut);

// Value of `c` as a hexadecimal digit of either case, or -1.
constexpr int hexDigitValue(unsigned char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  const unsigned lower = c | 0x20u;  // folds A-F onto a-f
  return lower >= 'a' && lower <= 'f' ? static_cast<int>(lower - 'a') + 10 : -1;
}

// A character code as users write it on a command line: hex digits, with or
// without "U+" or "0x", at most FFFF. False for anything else.
bool parseHexCode(const char* text, std::uint16_t* code);

// Quick readers for numbers spelled the plain way, as nearly every font and
// code map spells them. A line whose numbers they take gives the same values
// through scanPattern; a line they refuse goes through scanPattern instead.

// Four hex digits at text[0..3]: true, with their value in `value`. The caller
// makes sure that the four characters are there.
inline bool plainHex4(const char* text, int* value) {
  int v = 0;
  for (int i = 0; i < 4; ++i) {
    const int digit = hexDigitValue(static_cast<unsigned char>(text[i]));
    if (digit < 0) {
      return false;
    }
    v = v * 16 + digit;
  }
  *value = v;
  return true;
}

// An optional '-' and 1 to 9 decimal digits that no further digit follows, in
// the `length` characters at `text`: the number of characters taken, with the
// value in `value`; 0 when the text does not start so.
inline std::size_t plainDecimal(const char* text, std::size_t length, int* value) {
  std::size_t i = 0;
  const bool negative = length > 0 && text[0] == '-';
  if (negative) {
    i = 1;
  }
  const std::size_t first = i;
  int v = 0;
  while (i < length && text[i] >= '0' && text[i] <= '9') {
    if (i - first == 9) {
      return 0;  // ten digits or more: left to the scanner
    }
    v = v * 10 + (text[i] - '0');
    ++i;
  }
  if (i == first) {
    return 0;
  }
  *value = negative ? -v : v;
  return i;
}

#endif
