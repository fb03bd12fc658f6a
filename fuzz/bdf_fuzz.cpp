// The glyph reader on arbitrary bytes: it reaches the end of the font, and
// every cell row stays within the cell's 16 bits.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/state.h"
#include "readers/bdf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string copy(reinterpret_cast<const char*>(data), size);
  startFont(copy.empty() ? std::tmpfile() : fmemopen(copy.data(), copy.size(), "r"));
  std::size_t calls = 0;
  for (int rows = getFont(); rows != kEndOfFont; rows = getFont()) {
    // Each call takes at least one line, so the calls are bounded by the size.
    if (rows < 0 || ++calls > size + 1) {
      std::abort();
    }
    for (int row : bmpbuf) {
      if (row < 0 || row > 0xFFFF) {
        std::abort();
      }
    }
  }
  closeFont();
  return 0;
}
