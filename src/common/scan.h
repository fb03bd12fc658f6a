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
//   - the scan stops at the first mismatch or at the text's NUL; the numbers
//     converted before it stand.
#ifndef FONTGRAFT_COMMON_SCAN_H
#define FONTGRAFT_COMMON_SCAN_H

// Scans `text` with `pattern` and stores the numbers converted, in order, in
// out[0 .. maxOut-1]. Returns how many numbers were converted.
int scanPattern(const char* text, const char* pattern, int* out, int maxOut);

// Value of `c` as a hexadecimal digit of either case, or -1.
inline int hexDigitValue(unsigned char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  const unsigned lower = c | 0x20u;  // folds A-F onto a-f
  return lower >= 'a' && lower <= 'f' ? static_cast<int>(lower - 'a') + 10 : -1;
}

#endif
