#include "show/sheet.h"

#if FONTGRAFT_SHOW_PNG

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "firmware/record.h"

namespace {

constexpr int kPerRow = 16;  // cells in a row of the sheet
constexpr int kCellSize = 16;
constexpr int kMaxWidth = kPerRow * kCellSize * kMaxSheetScale + kPerRow + 1;

// Palette indexes.
constexpr png_byte kPaper = 0;
constexpr png_byte kInk = 1;
constexpr png_byte kGrid = 2;
constexpr png_byte kMissing = 3;

// One pixel row of the sheet, a byte per pixel (libpng packs them to 2 bits),
// and the cells of the sheet row being drawn.
png_byte pixels[kMaxWidth];
int cells[kPerRow][kCellSize];
png_byte fills[kPerRow];  // kPaper for a drawn cell, else the colour it is filled with

// Unpacks the 16 cells of the sheet row that starts at code `rowStart`.
void loadCells(const SheetRange& range, int rowStart) {
  for (int i = 0; i < kPerRow; ++i) {
    const int code = rowStart + i;
    const int index = code - range.first;
    if (code < range.first || code > range.last) {
      fills[i] = kGrid;
    } else if (index >= range.present) {
      fills[i] = kMissing;
    } else {
      fills[i] = kPaper;
      std::memcpy(fntbuf, range.records[index], kRecordSize);
      convKUVRA2BDF();
      std::memcpy(cells[i], bmpbuf, sizeof cells[i]);
    }
  }
}

// Fills `pixels` with pixel row `y` (0..15) of the loaded cells.
void drawRow(int y, int scale, int width) {
  std::memset(pixels, kGrid, static_cast<std::size_t>(width));
  png_byte* p = pixels + 1;
  for (int i = 0; i < kPerRow; ++i) {
    for (int x = 0; x < kCellSize; ++x) {
      png_byte colour = fills[i];
      if (colour == kPaper && ((cells[i][y] >> (kCellSize - 1 - x)) & 1) != 0) {
        colour = kInk;
      }
      std::memset(p, colour, static_cast<std::size_t>(scale));
      p += scale;
    }
    ++p;  // grid line
  }
}

// What libpng last complained of. Its messages are kept for the viewer's own
// one-line error, never printed.
char pngMessage[128];

[[noreturn]] void keepError(png_structp png, png_const_charp message) {
  std::snprintf(pngMessage, sizeof pngMessage, "%s", message);
  png_longjmp(png, 1);
}

void ignoreWarning(png_structp /*png*/, png_const_charp /*message*/) {}

// The rows of the sheet, written through libpng, which reports failure by
// jumping back to writeSheet; nothing here owns a resource.
void writeRows(png_structp png, const SheetRange& range, int scale, int width) {
  const int sheetFirst = range.first & ~(kPerRow - 1);
  const int sheetLast = range.last | (kPerRow - 1);
  std::memset(pixels, kGrid, static_cast<std::size_t>(width));
  png_write_row(png, pixels);
  for (int rowStart = sheetFirst; rowStart <= sheetLast; rowStart += kPerRow) {
    loadCells(range, rowStart);
    for (int y = 0; y < kCellSize; ++y) {
      drawRow(y, scale, width);
      for (int k = 0; k < scale; ++k) {
        png_write_row(png, pixels);
      }
    }
    std::memset(pixels, kGrid, static_cast<std::size_t>(width));
    png_write_row(png, pixels);
  }
}

}  // namespace

bool canWriteSheets() {
  return true;
}

bool writeSheet(std::FILE* file, const SheetRange& range, int scale, const char** reason) {
  std::snprintf(pngMessage, sizeof pngMessage, "%s", "bad scale");
  *reason = pngMessage;
  if (scale < 1 || scale > kMaxSheetScale) {
    return false;
  }
  const int rows = ((range.last | (kPerRow - 1)) - (range.first & ~(kPerRow - 1)) + 1) / kPerRow;
  const int width = kPerRow * (kCellSize * scale + 1) + 1;
  const int height = rows * (kCellSize * scale + 1) + 1;

  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, keepError, ignoreWarning);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);  // a sheet of all codes is tall
  // Rows repeat within a cell: filtering each against the row above and the
  // fastest compression keep even a sheet of all 65,536 codes quick and small.
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
  png_set_compression_level(png, 1);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 2,
               PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE,
               PNG_FILTER_TYPE_BASE);
  static const png_color kPalette[] = {
      {0xFF, 0xFF, 0xFF},  // paper
      {0x00, 0x00, 0x00},  // ink
      {0xB4, 0xB4, 0xB4},  // grid, and cells outside the range
      {0xF4, 0xC2, 0xC2},  // slots past the end of the image
  };
  png_set_PLTE(png, info, kPalette, 4);
  png_write_info(png, info);
  png_set_packing(png);
  writeRows(png, range, scale, width);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  std::snprintf(pngMessage, sizeof pngMessage, "%s", "input/output error");
  return std::fflush(file) == 0 && std::ferror(file) == 0;
}

#else

bool canWriteSheets() {
  return false;
}

bool writeSheet(std::FILE* /*file*/, const SheetRange& /*range*/, int /*scale*/,
                const char** reason) {
  *reason = "this build has no PNG output";
  return false;
}

#endif
