// The contact sheet: a PNG drawing of a range of the font table, 16 cells to
// a row in code order, each cell's pixels scaled up, with a grid between the
// cells.
#ifndef FONTGRAFT_SHOW_SHEET_H
#define FONTGRAFT_SHOW_SHEET_H

#include <cstdint>
#include <cstdio>
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

// The most cells a sample may have each way (characters to a line, and
// lines) to fit a page at `scale`; 0 without PNG output.
int sampleCellsFit(int scale);

// Writes the sample as a PNG: each line a row of 16 x 16 cells side by side,
// each glyph pixel `scale` x `scale` pixels, black on white, a character
// without a slot as a light red cell. Returns false when the sample does not
// fit or writing fails, with the reason in `reason` as for writeSheet.
bool writeSample(std::FILE* file, const std::vector<SampleLine>& lines, int scale,
                 const char** reason);

#endif
