// The glyph reader on arbitrary bytes: it reaches the end of the font, every
// cell row stays within the cell's 16 bits, and the glyphs are the same
// whether plain rows are taken where they stand or, as when a row listener is
// set, every row goes through the general path.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/state.h"
#include "readers/bdf.h"

namespace {

// Every glyph of the font: its row count, ID and cell.
std::vector<int> readAll(std::string bytes, std::size_t size) {
  std::vector<int> glyphs;
  startFont(bytes.empty() ? std::tmpfile() : fmemopen(bytes.data(), bytes.size(), "r"));
  for (int rows = getFont(); rows != kEndOfFont; rows = getFont()) {
    // Each call takes at least one line, so the calls are bounded by the size.
    if (rows < 0 || glyphs.size() > 18 * (size + 1)) {
      std::abort();
    }
    glyphs.push_back(rows);
    glyphs.push_back(hasglyphid ? glyphid : -1);
    for (int row : bmpbuf) {
      if (row < 0 || row > 0xFFFF) {
        std::abort();
      }
      glyphs.push_back(row);
    }
  }
  closeFont();
  return glyphs;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string font(reinterpret_cast<const char*>(data), size);
  const std::vector<int> plain = readAll(font, size);
  rowlistener = [](Line, long long, int, long long) {};
  const std::vector<int> general = readAll(font, size);
  rowlistener = nullptr;
  if (plain != general) {
    std::abort();
  }
  return 0;
}
