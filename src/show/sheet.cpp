#include "show/sheet.h"

#if FONTGRAFT_SHOW_PNG

#include <png.h>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>

#include "firmware/record.h"

namespace {

constexpr int kPerRow = 16;            // cells in a row of the sheet
constexpr int kMaxPageHeight = 16384;  // what common viewers open

// Palette indexes.
constexpr png_byte kPaper = 0;
constexpr png_byte kInk = 1;
constexpr png_byte kGrid = 2;
constexpr png_byte kMissing = 3;

// Hex digits for the labels, 3 x 5 pixels: a row to three bits, top row
// first, leftmost pixel highest.
constexpr std::uint16_t kDigits[16] = {075557, 026227, 071747, 071717, 055711, 074717,
                                       074757, 071111, 075757, 075717, 025755, 065656,
                                       034443, 065556, 074747, 074744};

// Where everything goes on a page.
struct Layout {
  int scale;  // page pixels per glyph pixel
  int label;  // page pixels per label pixel
  int left;   // width of the margin with the row labels
  int top;    // height of the margin with the column labels
  int band;   // height (and width) of a cell with its grid line
  int width;
};

Layout layoutFor(int scale) {
  const int label = (scale + 1) / 2;
  const int left = label * 19;  // four digits and their gaps, with room either side
  const int band = kCellSize * scale + 1;
  return Layout{scale, label, left, label * 9, band, left + kPerRow * band + 1};
}

// One pixel row of the page, a byte per pixel (libpng packs them to 2 bits),
// and the cells of the row of the sheet being drawn.
struct SheetRow {
  png_byte pixels[kMaxSheetScale * 19 + kPerRow * (kCellSize * kMaxSheetScale + 1) + 1];
  std::array<std::array<std::uint16_t, kCellSize>, kPerRow> cells;
  std::array<png_byte, kPerRow> fills;  // kPaper for a drawn cell, else its colour
};

// The other characters of the labels that name a sample's inputs, in the
// same 3 x 5 pixels; lower-case letters are drawn as capitals, and any
// character without a glyph as '?'.
constexpr char kLabelCharacters[] = "GHIJKLMNOPQRSTUVWXYZ .,-_/\\:;()[]+=!?'\"#%*@~<>|`^{}$&";
constexpr std::uint16_t kLabelGlyphs[] = {
    034553, 055755, 072227, 011152, 055655, 044447, 057755, 065555, 025552, 065644, 025563,
    065655, 034216, 072222, 055557, 055552, 055775, 055255, 055222, 071247, 000000, 000002,
    000024, 000700, 000007, 011244, 044211, 002020, 002024, 012221, 042224, 032223, 062226,
    002720, 007070, 022202, 071202, 022000, 055000, 057575, 041241, 052725, 075547, 003600,
    012421, 042124, 022222, 042000, 025000, 032623, 062326, 036236, 025253};
static_assert(sizeof kLabelGlyphs / sizeof kLabelGlyphs[0] == sizeof kLabelCharacters - 1,
              "a glyph for every label character");

std::uint16_t labelGlyph(char c) {
  if (c >= 'a' && c <= 'z') {
    c = static_cast<char>(c - 'a' + 'A');
  }
  if (c >= '0' && c <= '9') {
    return kDigits[c - '0'];
  }
  if (c >= 'A' && c <= 'F') {
    return kDigits[c - 'A' + 10];
  }
  const char* at = std::strchr(kLabelCharacters, c);
  return c != '\0' && at != nullptr ? kLabelGlyphs[at - kLabelCharacters] : labelGlyph('?');
}

// Inks row `y` (0..4) of the 3 x 5 label glyph `glyph` into `row` from
// column x, in label pixels `size` wide.
void drawLabelRow(png_byte* row, std::uint16_t glyph, int y, int x, int size) {
  for (int column = 0; column < 3; ++column) {
    if ((glyph >> ((4 - y) * 3 + 2 - column) & 1) != 0) {
      std::memset(row + x + column * size, kInk, static_cast<std::size_t>(size));
    }
  }
}

// Inks row `y` (0..4) of hex digit `digit` from page column x, in label
// pixels `size` wide.
void drawDigit(SheetRow* row, int digit, int y, int x, int size) {
  drawLabelRow(row->pixels, kDigits[digit], y, x, size);
}

// Fills `pixels` with a blank row: paper in the left margin, grid beyond.
void drawGridRow(SheetRow* row, const Layout& layout) {
  std::memset(row->pixels, kPaper, static_cast<std::size_t>(layout.left));
  std::memset(row->pixels + layout.left, kGrid,
              static_cast<std::size_t>(layout.width - layout.left));
}

// Unpacks the 16 cells of the row of the sheet that starts at code `rowStart`.
void loadCells(SheetRow* row, const SheetRange& range, int rowStart) {
  for (std::size_t i = 0; i < row->fills.size(); ++i) {
    const int code = rowStart + static_cast<int>(i);
    const int index = code - range.first;
    png_byte& fill = row->fills.at(i);
    if (code < range.first || code > range.last) {
      fill = kGrid;
    } else if (index >= range.present) {
      fill = kMissing;
    } else {
      fill = kPaper;
      unpackRecord(range.records[index], row->cells.at(i).data());
    }
  }
}

// Fills `pixels` with page row `y` (0 .. band - 2) of the row of the sheet
// starting at `rowStart`: its label in the margin, then the cells.
void drawCellsRow(SheetRow* row, const Layout& layout, int rowStart, int y) {
  drawGridRow(row, layout);
  const int labelY = y - (layout.band - 1 - 5 * layout.label) / 2;
  if (labelY >= 0 && labelY < 5 * layout.label) {
    for (int k = 0; k < 4; ++k) {
      drawDigit(row, rowStart >> (12 - 4 * k) & 0xF, labelY / layout.label,
                layout.label * (2 + 4 * k), layout.label);
    }
  }
  png_byte* p = row->pixels + layout.left + 1;
  for (std::size_t i = 0; i < row->fills.size(); ++i) {
    for (int x = 0; x < kCellSize; ++x) {
      png_byte colour = row->fills[i];
      if (colour == kPaper && pixelAt(row->cells[i].data(), y / layout.scale, x)) {
        colour = kInk;
      }
      std::memset(p, colour, static_cast<std::size_t>(layout.scale));
      p += layout.scale;
    }
    ++p;  // grid line
  }
}

// Fills `pixels` with row `y` of the top margin: over the middle of each
// column of cells, the last hex digit of its codes.
void drawColumnLabels(SheetRow* row, const Layout& layout, int y) {
  std::memset(row->pixels, kPaper, static_cast<std::size_t>(layout.width));
  const int labelY = y - 2 * layout.label;
  for (int i = 0; labelY >= 0 && labelY < 5 * layout.label && i < kPerRow; ++i) {
    const int cell = layout.left + 1 + i * layout.band;
    drawDigit(row, i, labelY / layout.label, cell + (layout.band - 1 - 3 * layout.label) / 2,
              layout.label);
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

// The rows of the page, written through libpng, which reports failure by
// jumping back to writeSheet; nothing here owns a resource.
void writeRows(png_structp png, const SheetRange& range, const Layout& layout, SheetRow* row) {
  for (int y = 0; y < layout.top; ++y) {
    drawColumnLabels(row, layout, y);
    png_write_row(png, row->pixels);
  }
  drawGridRow(row, layout);
  png_write_row(png, row->pixels);
  for (int rowStart = range.first & ~(kPerRow - 1); rowStart <= range.last; rowStart += kPerRow) {
    loadCells(row, range, rowStart);
    for (int y = 0; y + 1 < layout.band; ++y) {
      drawCellsRow(row, layout, rowStart, y);
      png_write_row(png, row->pixels);
    }
    drawGridRow(row, layout);
    png_write_row(png, row->pixels);
  }
}

// A page of the sheet: the range, where everything goes, and the row drawn.
struct SheetPage {
  const SheetRange* range;
  Layout layout;
  SheetRow* row;
};

void writeSheetRows(png_structp png, const void* what) {
  const auto* page = static_cast<const SheetPage*>(what);
  writeRows(png, *page->range, page->layout, page->row);
}

// The sample's cells, unpacked before the first row is written, block by
// block, each block under the band with its label when it has one.
struct SampleCell {
  bool missing;
  std::uint16_t rows[kCellSize];
};
struct SampleCells {
  std::vector<std::string> labels;
  std::vector<std::vector<std::vector<SampleCell>>> blocks;
  int width;  // pixels
  int scale;
  png_byte* pixels;  // the row drawn, `width` bytes
};

// The sample's page is at most this many pixels either way.
constexpr int kMaxSampleSide = kMaxPageHeight;

// A label's band: the label pixel size, and its height and width.
int labelPixel(int scale) {
  return (scale + 1) / 2;
}
int labelBand(int scale) {
  return 9 * labelPixel(scale);
}
int labelWidth(const std::string& label, int scale) {
  return static_cast<int>(4 * label.size() + 3) * labelPixel(scale);
}

void writeLabelRows(png_structp png, const std::string& label, const SampleCells& sample) {
  const int width = sample.width;
  const int size = labelPixel(sample.scale);
  png_byte* const pixels = sample.pixels;
  for (int y = 0; y < labelBand(sample.scale); ++y) {
    std::memset(pixels, kPaper, static_cast<std::size_t>(width));
    const int glyphRow = y / size - 2;  // two label pixels above the glyphs
    for (std::size_t i = 0; glyphRow >= 0 && glyphRow < 5 && i < label.size(); ++i) {
      const int x = static_cast<int>(4 * i + 2) * size;
      if (x + 3 * size <= width) {
        drawLabelRow(pixels, labelGlyph(label[i]), glyphRow, x, size);
      }
    }
    png_write_row(png, pixels);
  }
}

void writeSampleLines(png_structp png, const std::vector<std::vector<SampleCell>>& lines,
                      const SampleCells& sample) {
  const int scale = sample.scale;
  for (const std::vector<SampleCell>& line : lines) {
    for (int y = 0; y < kCellSize * scale; ++y) {
      std::memset(sample.pixels, kPaper, static_cast<std::size_t>(sample.width));
      png_byte* p = sample.pixels;
      for (const SampleCell& cell : line) {
        for (int x = 0; x < kCellSize; ++x) {
          const bool ink = !cell.missing && pixelAt(cell.rows, y / scale, x);
          std::memset(p,
                      cell.missing ? kMissing
                      : ink        ? kInk
                                   : kPaper,
                      static_cast<std::size_t>(scale));
          p += scale;
        }
      }
      png_write_row(png, sample.pixels);
    }
  }
}

void writeSampleRows(png_structp png, const void* what) {
  const auto* sample = static_cast<const SampleCells*>(what);
  for (std::size_t b = 0; b < sample->blocks.size(); ++b) {
    if (!sample->labels[b].empty()) {
      writeLabelRows(png, sample->labels[b], *sample);
    }
    writeSampleLines(png, sample->blocks[b], *sample);
  }
}

// Writes a PNG of `width` x `height` pixels in the sheet's four colours,
// whose rows `rows` draws from `what`. libpng reports failure by jumping
// back here, so `rows` and what it calls own no resource.
bool writePng(std::FILE* file, int width, int height, void (*rows)(png_structp, const void*),
              const void* what, const char** reason) {
  *reason = pngMessage;
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
  // Rows repeat within a cell: filtering each against the row above and the
  // fastest compression keep even the pages of all 65,536 codes quick and small.
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
  rows(png, what);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  std::snprintf(pngMessage, sizeof pngMessage, "%s", "input/output error");
  return std::fflush(file) == 0 && std::ferror(file) == 0;
}

}  // namespace

bool canWriteSheets() {
  return true;
}

int sheetRowsPerPage(int scale) {
  const Layout layout = layoutFor(scale);
  return (kMaxPageHeight - layout.top - 1) / layout.band;
}

bool writeSheet(std::FILE* file, const SheetRange& range, int scale, const char** reason) {
  std::snprintf(pngMessage, sizeof pngMessage, "%s", "bad scale");
  *reason = pngMessage;
  if (scale < 1 || scale > kMaxSheetScale) {
    return false;
  }
  const auto row = std::make_unique<SheetRow>();
  const SheetPage page{&range, layoutFor(scale), row.get()};
  const int rows = ((range.last | (kPerRow - 1)) - (range.first & ~(kPerRow - 1)) + 1) / kPerRow;
  return writePng(file, page.layout.width, page.layout.top + 1 + rows * page.layout.band,
                  writeSheetRows, &page, reason);
}

int sampleCellsFit(int scale) {
  return kMaxSampleSide / (kCellSize * scale);
}

bool sampleFits(const std::vector<SampleBlock>& blocks, int scale, int* width, int* height) {
  *width = 1;
  *height = 0;
  for (const SampleBlock& block : blocks) {
    for (const SampleLine& line : block.lines) {
      *width = std::max(*width, static_cast<int>(line.size()) * kCellSize * scale);
    }
    if (!block.label.empty()) {
      *width = std::max(*width, labelWidth(block.label, scale));
      *height += labelBand(scale);
    }
    *height += static_cast<int>(block.lines.size()) * kCellSize * scale;
  }
  *width = std::min(*width, kMaxSampleSide);  // a label too long for the page is cut
  return scale >= 1 && scale <= kMaxSheetScale && *height > 0 && *height <= kMaxSampleSide &&
         std::all_of(blocks.begin(), blocks.end(), [scale](const SampleBlock& block) {
           return std::all_of(block.lines.begin(), block.lines.end(), [scale](const auto& line) {
             return line.size() <= static_cast<std::size_t>(sampleCellsFit(scale));
           });
         });
}

bool writeSample(std::FILE* file, const std::vector<SampleBlock>& blocks, int scale,
                 const char** reason) {
  std::snprintf(pngMessage, sizeof pngMessage, "%s", "the sample does not fit a page");
  *reason = pngMessage;
  int width = 0;
  int height = 0;
  if (!sampleFits(blocks, scale, &width, &height)) {
    return false;
  }
  std::vector<png_byte> pixels(static_cast<std::size_t>(width));
  SampleCells sample{{}, {}, width, scale, pixels.data()};
  for (const SampleBlock& block : blocks) {
    sample.labels.push_back(block.label);
    sample.blocks.emplace_back();
    for (const SampleLine& line : block.lines) {
      sample.blocks.back().emplace_back();
      for (const std::uint8_t* record : line) {
        SampleCell cell{record == nullptr, {}};
        if (record != nullptr) {
          unpackRecord(record, cell.rows);
        }
        sample.blocks.back().back().push_back(cell);
      }
    }
  }
  return writePng(file, width, height, writeSampleRows, &sample, reason);
}

#else

bool canWriteSheets() {
  return false;
}

int sheetRowsPerPage(int /*scale*/) {
  return 4096;
}

bool writeSheet(std::FILE* /*file*/, const SheetRange& /*range*/, int /*scale*/,
                const char** reason) {
  *reason = "this build has no PNG output";
  return false;
}

int sampleCellsFit(int /*scale*/) {
  return 0;
}

bool sampleFits(const std::vector<SampleBlock>& /*blocks*/, int /*scale*/, int* width,
                int* height) {
  *width = 0;
  *height = 0;
  return false;
}

bool writeSample(std::FILE* /*file*/, const std::vector<SampleBlock>& /*blocks*/, int /*scale*/,
                 const char** reason) {
  *reason = "this build has no PNG output";
  return false;
}

#endif
