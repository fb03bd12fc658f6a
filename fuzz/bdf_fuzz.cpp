// The glyph reader on arbitrary bytes: it reaches the end of the font, every
// cell row stays within the cell's 16 bits, and the glyphs, their lines and
// what a listener hears are the same whether plain rows are taken where they
// stand or every row goes through the general path.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/state.h"
#include "readers/bdf.h"

namespace {

FontReader reader;

// Every glyph of the font: its row count, ID, line and cell, and each loss
// the listener hears, in order.
std::vector<long> readAll(std::string bytes, std::size_t size, bool plainRows) {
  std::vector<long> heard;
  FontListener listener;
  listener.context = &heard;
  listener.rowsLost = [](void* context, RowLoss why, long pixels, long first, long last) {
    auto* out = static_cast<std::vector<long>*>(context);
    out->insert(out->end(), {-1, static_cast<long>(why), pixels, first, last});
  };
  int cell[kCellSize];
  int box[4];
  std::FILE* file = bytes.empty() ? std::tmpfile() : fmemopen(bytes.data(), bytes.size(), "r");
  startFontReader(&reader, file, cell, box, &listener);
  reader.plainRows = plainRows;
  for (int rows = readGlyph(&reader); rows != kEndOfFont; rows = readGlyph(&reader)) {
    // Each call takes at least one line, so the calls are bounded by the size.
    if (rows < 0 || heard.size() > 100 * (size + 1)) {
      std::abort();
    }
    heard.insert(heard.end(), {rows, reader.hasGlyphId ? reader.glyphId : -1, reader.glyphLine});
    for (int row : cell) {
      if (row < 0 || row > 0xFFFF) {
        std::abort();
      }
      heard.push_back(row);
    }
  }
  std::fclose(file);
  return heard;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string font(reinterpret_cast<const char*>(data), size);
  if (readAll(font, size, true) != readAll(font, size, false)) {
    std::abort();
  }
  return 0;
}
