// The size a font is converted at: the largest at which the common characters
// of each of its main scripts fit the area, judged on fixed samples of the
// whole font, so that converting part of a font gives it the same size.
#ifndef FONTGRAFT_CONVERT_SIZING_H
#define FONTGRAFT_CONVERT_SIZING_H

#include <vector>

#include "convert/face.h"
#include "convert/layout.h"
#include "convert/scripts.h"

// The sizes tried, in pixels per em: from the area's own size plus
// kSizesAboveArea down to kMinSize.
constexpr int kMinSize = 6;
constexpr int kSizesAboveArea = 8;

// Bitmap strikes of these sizes may fill the whole cell when their glyphs
// need it.
constexpr int kFillStrikeMin = 15;
constexpr int kFillStrikeMax = kCellSize;

// How many of all the font's glyphs, spread evenly, settle a tie between
// baselines.
constexpr std::size_t kAllSampleSize = 500;

struct SizeChoice {
  int size = 0;
  bool strike = false;  // drawn from the face's bitmap strike of that size
  bool filled = false;  // the whole cell was taken for a strike drawn for it
  bool fits = false;    // the main scripts fit at this size
  int baselineRow = 0;
  Area area{kCellMargin};
  std::vector<ScriptGroup> binding;  // the scripts it was judged on; empty: all glyphs
};

struct SizingRequest {
  int size = 0;  // given: only the baseline is chosen
  Rendering rendering = Rendering::kAuto;
  int threshold = kDefaultThreshold;
  bool fill = false;
};

// Chooses the size and baseline for the face `face` (opened, as `info` says).
// False when it cannot be drawn at the size asked for, or at any size.
bool chooseSize(Face* face, const FaceInfo& info, const SizingRequest& request, SizeChoice* choice);

#endif
