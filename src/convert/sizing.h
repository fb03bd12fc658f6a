// The size a font is converted at: the largest at which the common characters
// of each of its main scripts fit the area, judged on fixed samples of the
// whole font, so that converting part of a font gives it the same size.
#ifndef FONTGRAFT_CONVERT_SIZING_H
#define FONTGRAFT_CONVERT_SIZING_H

#include <cstdint>
#include <vector>

#include "convert/face.h"
#include "convert/layout.h"
#include "convert/scripts.h"
#include "convert/workers.h"

// The sizes tried, in pixels per em: from the area's height plus
// kSizesAboveArea down to kMinSize.
constexpr int kMinSize = 6;
constexpr int kSizesAboveArea = 8;

// Bitmap strikes of these sizes are drawn for the whole cell: by default
// they fill it, and in an area asked for they fill it when their glyphs need
// it.
constexpr int kFillStrikeMin = 15;
constexpr int kFillStrikeMax = kCellSize;

// How many of all the font's glyphs, spread evenly, settle a tie between
// baselines.
constexpr std::size_t kAllSampleSize = 500;

// The thinned drawing (kThin, and kAuto from outlines): a font whose
// vertical stems or horizontal strokes are wider than kThinnedStroke pixels
// at its size (its stems' width at five eighths, its strokes' median: see
// strokeWidthsOf), but less than kThickStroke, has them
// drawn that much thinner, by at most kMaxThinning, so that every stroke is
// drawn one pixel wide (the rasterizer keeps the thinnest), never one here
// and two there. Thicker strokes are left as they are: no thinning evens
// them. Measured on up to kStrokeSample glyphs of each main script.
constexpr double kThinnedStroke = 0.9;
constexpr double kThickStroke = 1.9;
constexpr double kMaxThinning = 0.5;
constexpr std::size_t kStrokeSample = 48;

// A CJK font drawn from its outlines in an area taller than wide has the
// glyphs of its main scripts drawn taller than wide where they then fill
// more of the area's height: by at most kMaxTaller pixels per kTallerPer
// pixels of its size (2 at 15 px), so that its shapes stay those of the
// font. Its other glyphs (Latin letters, symbols) keep their proportions.
constexpr int kMaxTaller = 1;
constexpr int kTallerPer = 7;

struct SizeChoice {
  int size = 0;
  int tall = 0;           // the outlines' pixels per em from top to bottom, where not `size`
  bool strike = false;    // drawn from the face's bitmap strike of that size
  bool scalable = false;  // the face has outlines
  bool filled = false;    // the whole cell was taken for a strike drawn for it
  bool fits = false;      // the main scripts fit at this size
  bool onGrid = false;    // an outline font drawn in pixels of this size: drawn as it is
  int baselineRow = 0;
  Area area = kHandDrawnArea;
  Thinning thinning;                 // for the thinned drawing: of the main scripts' glyphs
  Thinning latinThinning;            // and of the Latin ones, measured on a-z A-Z 0-9
  std::vector<ScriptGroup> binding;  // the scripts it was judged on; empty: all glyphs
};

// At most `count` of `glyphs`, spread evenly over them, in their order.
std::vector<unsigned> spreadOf(const std::vector<unsigned>& glyphs, std::size_t count);

// Whether the glyph of `code` is drawn `choice.tall` pixels per em from top
// to bottom: those of the scripts the size was judged on, where it is given.
bool drawnTall(const SizeChoice& choice, std::uint32_t code);

// The outlines' pixels per em from top to bottom at `size` for a font sized
// as `choice` says: as much taller than `size` as the choice's are than its
// size (0 where they are not).
int tallAt(const SizeChoice& choice, int size);

struct SizingRequest {
  int size = 0;  // given: only the baseline is chosen
  Rendering rendering = Rendering::kAuto;
  int threshold = kDefaultThreshold;
  int area = 0;  // the area's width asked for (see areaOfSize); 0: the default
};

// Chooses the size and baseline for the face of `workers` (opened, as
// `info` says), drawing its samples on every worker. False when it cannot
// be drawn at the size asked for, or at any size.
bool chooseSize(Workers* workers, const FaceInfo& info, const SizingRequest& request,
                SizeChoice* choice);

#endif
