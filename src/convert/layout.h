// Where a glyph's pixels go in its 16 x 16 cell: the area the utility leaves
// for glyphs, the baseline and size that fit a font's glyphs into it, and the
// placement of each glyph, moved just enough to stay inside.
#ifndef FONTGRAFT_CONVERT_LAYOUT_H
#define FONTGRAFT_CONVERT_LAYOUT_H

#include <cstdint>
#include <vector>

#include "common/state.h"
#include "convert/face.h"

// The part of the cell glyphs may use: `width` columns from `left` and
// `height` rows from `top`.
struct Area {
  int left;
  int top;
  int width;
  int height;
  int right() const { return left + width; }   // one past the last column
  int bottom() const { return top + height; }  // one past the last row
};

// The areas a user may choose, by their size. kHandDrawnArea is the one the
// hand-drawn 16-pixel fonts use: ink up to 15 columns wide from column 0, so
// that a blank column parts two cells side by side, and all 16 rows.
// kMarginArea keeps the two rows and columns above and left of the font's
// box that the utility leaves free; kWholeCell is for fonts drawn for it.
constexpr Area kMarginArea{kCellMargin, kCellMargin, kCellSize - kCellMargin,
                           kCellSize - kCellMargin};
constexpr Area kHandDrawnArea{0, 0, kCellSize - 1, kCellSize};
constexpr Area kWholeCell{0, 0, kCellSize, kCellSize};

// A glyph's ink: the smallest box around its set pixels, in the bitmap's
// coordinates, and where that box stands from the origin.
struct InkBox {
  int x0 = 0, y0 = 0, width = 0, height = 0;  // empty when width is 0
  int left = 0;                               // columns right of the origin
  int top = 0;                                // rows above the baseline
};
InkBox inkOf(const Bitmap& bitmap);

// The area named by its width: kMarginArea (14), kHandDrawnArea (15) or
// kWholeCell (16). False for any other number.
bool areaOfSize(int size, Area* area);

// Whether a glyph of this ink is no taller and no wider than the area.
bool fitsArea(const InkBox& ink, const Area& area);

// Whether a glyph of this ink fits the area standing where its metrics put it
// from this baseline (the first cell row below it): no taller and no wider
// than the area, and no row of it outside. Such a glyph is placed unmoved up
// or down and loses no pixel.
bool fitsAt(int baselineRow, const InkBox& ink, const Area& area);

// How many of these glyphs a baseline lets stand in the area unmoved, and how
// many rows in all the others must move.
struct BaselineFit {
  long fits = 0;
  long moves = 0;
};
BaselineFit fitAt(int baselineRow, const std::vector<InkBox>& inks, const Area& area);

// The baseline for a font whose main scripts' samples are `scripts`: the one
// at which the script that fits worst fits best (by its share of glyphs that
// fit unmoved); of those, the one at which most of all the font's glyphs
// (`all`) fit, then the one that moves them least, then the one nearest to
// centring them.
int chooseBaseline(const std::vector<std::vector<InkBox>>& scripts, const std::vector<InkBox>& all,
                   const Area& area);

// A glyph placed in its cell.
struct Placed {
  std::uint16_t rows[kCellSize] = {};
  int down = 0;   // rows moved down from where its metrics put it (negative: up)
  int right = 0;  // columns moved right (negative: left)
  int lost = 0;   // ink pixels that could not be placed in the area
};
Placed placeGlyph(const Bitmap& bitmap, const InkBox& ink, int baselineRow, const Area& area);

#endif
