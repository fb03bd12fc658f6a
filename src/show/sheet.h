// The contact sheet: a PNG drawing of a range of the font table, 16 cells to
// a row in code order, each cell's pixels scaled up, with a grid between the
// cells.
#ifndef FONTGRAFT_SHOW_SHEET_H
#define FONTGRAFT_SHOW_SHEET_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/state.h"

// What a sheet shows: the codes first..last, of which the first `present`
// have their records in `records` (the rest lie past the end of the image).
struct SheetRange {
  std::uint16_t first;
  std::uint16_t last;
  int present;
  const std::uint8_t (*records)[kRecordSize];
};

// The largest number of sheet pixels a glyph pixel may take each way.
constexpr int kMaxSheetScale = 16;

// How many rows of 16 cells a page holds at `scale`: a page is at most 16,384
// pixels high, which common viewers open.
int sheetRowsPerPage(int scale);

// False when this build has no PNG output.
bool canWriteSheets();

// Writes a page of the sheet as a PNG to `file`, each glyph pixel drawn as
// `scale` x `scale` pixels; the range must fit the page. A row starts at a
// code that is a multiple of 16 and is labelled with that code in a margin on
// the left, each column with the last hex digit of its codes in a margin on
// top; cells outside the range are filled with the grid's colour, slots past
// the end of the image with a light red. Returns false when writing fails, with libpng's
// account of it in `reason` (the system's own, in errno, says more where set).
bool writeSheet(std::FILE* file, const SheetRange& range, int scale, const char** reason);

// A line of a sample text: the records of its characters, side by side;
// nullptr for a character the image has no slot for.
using SampleLine = std::vector<const std::uint8_t*>;

// A sample as one input draws it: its lines, under a band with `label` (the
// input's name) when the label is not empty.
struct SampleBlock {
  std::string label;
  std::vector<SampleLine> lines;
};

// The most cells a sample line may have to fit a page at `scale`, and the most
// lines of a sample of one block; 0 without PNG output.
int sampleCellsFit(int scale);

// Whether the blocks fit one page at `scale`, with the page's size in pixels.
bool sampleFits(const std::vector<SampleBlock>& blocks, int scale, int* width, int* height);

// Writes the sample as a PNG: each block's label in a band above it, then
// each of its lines a row of 16 x 16 cells side by side, each glyph pixel
// `scale` x `scale` pixels, black on white, a character without a slot as a
// light red cell. Returns false when the sample does not fit or writing fails,
// with the reason in `reason` as for writeSheet.
bool writeSample(std::FILE* file, const std::vector<SampleBlock>& blocks, int scale,
                 const char** reason);

#endif
