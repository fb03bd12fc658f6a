// The glyph reader on arbitrary bytes: it always reaches the end of the font,
// every cell row stays within 16 bits, and every glyph agrees with the plain
// model, row count, ID and cell.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/state.h"
#include "readers/bdf.h"
#include "reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string font(reinterpret_cast<const char*>(data), size);
  const std::vector<reference::Glyph> expected = reference::readFont(font);
  std::string copy = font;
  std::FILE* file = copy.empty() ? std::tmpfile() : fmemopen(copy.data(), copy.size(), "r");
  startFont(file);
  std::size_t calls = 0;
  for (int rows = getFont(); rows != kEndOfFont; rows = getFont()) {
    // Each call takes at least one line, so the calls are bounded by the size.
    if (++calls > size + 1 || calls > expected.size()) {
      std::abort();
    }
    const reference::Glyph& want = expected[calls - 1];
    if (rows != want.rows || hasglyphid != want.hasId || glyphid != want.id) {
      std::abort();
    }
    for (int r = 0; r < kCellRows; ++r) {
      if (bmpbuf[r] < 0 || bmpbuf[r] > 0xFFFF || bmpbuf[r] != want.cell[r]) {
        std::abort();
      }
    }
  }
  if (calls != expected.size()) {
    std::abort();
  }
  closeFont();
  return 0;
}
