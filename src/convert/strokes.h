// How much of a glyph's strokes a small black-and-white drawing keeps,
// judged against the glyph's outline drawn kJudgeScale times larger in grey:
// each cross-section of a stroke must have ink in the small glyph near its
// centre, and each gap between strokes a blank pixel, so that neither a
// dropped stroke nor strokes run together into a blob scores well.
#ifndef FONTGRAFT_CONVERT_STROKES_H
#define FONTGRAFT_CONVERT_STROKES_H

#include <vector>

#include "convert/face.h"

constexpr int kJudgeScale = 8;

// A cross-section of a stroke (or, `gap`, a blank between two strokes) on
// one line of the small grid: a pixel column (`across` false: the profile
// runs down it) or a pixel row (`across` true), with its centre along the
// line in pixels (up from the baseline down a column, right of the origin
// along a row).
struct Crossing {
  bool across = false;
  bool gap = false;
  int line = 0;  // the column's left edge, or the row's top edge, in pixels
  float centre = 0;
  float width = 0;  // of the stroke or the gap, along the line, in pixels
};

// The crossings of an outline drawn in grey at kJudgeScale times the size
// (`pixels` 0 to 255 per pixel).
std::vector<Crossing> crossingsOf(const Bitmap& reference);

// The thickness in pixels of the vertical stems (the cross-sections along
// rows) and of the horizontal strokes (along columns) among `crossings`: the
// stems' width at kStemShare of their widths in order (above the median: a
// font whose stems are mostly just under a pixel, and many over, has them
// drawn 1 px here and 2 there unless those are thinned too), and the
// strokes' median width (at half); 0 where there are none.
constexpr double kStemShare = 0.625;
struct StrokeWidths {
  float stems = 0;
  float bars = 0;
};
StrokeWidths strokeWidthsOf(const std::vector<Crossing>& crossings);

// How many of `crossings` a small drawing keeps, at the best of the shifts of
// a pixel either way (hinting moves a glyph as a whole).
int crossingsKept(const std::vector<Crossing>& crossings, const Bitmap& small);

// Whether the ink of `candidate` needs no more room than `plain` has, or than
// `width` columns and `height` rows where that is more: a drawing chosen for
// its strokes must not stop a glyph from fitting the area.
bool inkFits(const Bitmap& candidate, const Bitmap& plain, int width, int height);

#endif
