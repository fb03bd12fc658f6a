// The line scanner on arbitrary text agrees with the C library's sscanf for
// every pattern the readers use: how many numbers convert, and their values.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/scan.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const char* const kPatterns[] = {"FONTBOUNDINGBOX %d %d %d %d", "BBX %d %d %d %d",
                                          "STARTCHAR glyphID:%4x", "Specific ID:%4d",
                                          "Char %4X -> Index %d"};
  if (size == 0) {
    return 0;
  }
  const char* pattern = kPatterns[data[0] % 5];
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  int mine[4] = {0, 0, 0, 0};
  int theirs[4] = {0, 0, 0, 0};
  const int n = scanPattern(Line{text.data(), text.size()}, pattern, mine, 4);
  // sscanf reads the text up to its first NUL, where the scanner stops too.
  const int expected =
      std::sscanf(text.c_str(), pattern, &theirs[0], &theirs[1], &theirs[2], &theirs[3]);
  if (n != (expected < 0 ? 0 : expected)) {
    std::abort();
  }
  for (int i = 0; i < n; ++i) {
    if (mine[i] != theirs[i]) {
      std::abort();
    }
  }
  return 0;
}
