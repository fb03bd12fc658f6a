// Drawing every code of a face into its cell at the size chosen, on as many
// threads as there are cores (see Workers). A glyph that does
// not fit the area standing on its baseline is drawn again at the largest
// smaller size at which it does, unless the size was asked for.
#ifndef FONTGRAFT_CONVERT_DRAWING_H
#define FONTGRAFT_CONVERT_DRAWING_H

#include <cstdint>
#include <string>
#include <vector>

#include "common/fontfiles.h"
#include "convert/face.h"
#include "convert/sizing.h"
#include "convert/workers.h"

// A glyph that fits the area but not where its baseline puts it is drawn at
// most this many pixels per em smaller; where that is not enough, it is moved
// up or down at the font's size instead, so that no letter of a secondary
// script (a Latin g under ideographs) is drawn tiny.
constexpr int kMaxSmallerOnBaseline = 3;

// What became of one code.
enum class Outcome {
  kWhole,         // drawn as the font's size and drawing put it
  kMoved,         // moved left or right to stay inside (or, drawn from a strike, up or down)
  kSmaller,       // drawn at a smaller size to fit
  kClipped,       // pixels lost (only at a size asked for, or from a bitmap font)
  kBlankLeftOut,  // draws nothing
  kUndrawable,    // FreeType cannot draw it
  kNoFit,         // fits the area at no size: left out
};

// Whether a code of this outcome is written; the others are left out, so
// that the device keeps its own glyph.
inline bool isWritten(Outcome outcome) {
  return outcome != Outcome::kBlankLeftOut && outcome != Outcome::kUndrawable &&
         outcome != Outcome::kNoFit;
}

// Why a glyph did not fit at the font's size.
enum class Misfit { kNone, kWide, kTall, kOffArea };

struct Converted {
  std::uint32_t code = 0;
  Outcome outcome = Outcome::kWhole;
  Misfit misfit = Misfit::kNone;
  CellGlyph cell{};
  bool ink = false;
  bool plain = false;  // drawn unthinned because the thinned drawing did not fit
  Face::Chosen chosen = Face::Chosen::kUnhinted;  // --render best: the drawing taken
  int down = 0;
  int right = 0;
  int lost = 0;
  int size = 0;  // drawn at, where smaller than the font's; clipped: the size it would fit at
};

struct Drawing {
  const SizingRequest* sizing;
  const SizeChoice* choice;
  bool scalable;
  bool sizeGiven;
};

// Draws every code of `codes` into `out` (one each, in order) on the
// workers, at most one for each 1,024 codes; the result does not depend on
// how the work was shared. `smallest` receives the largest size at which
// every clipped glyph would fit (0: none is clipped, or one fits at no
// size).
void drawAll(Workers* workers, const Drawing& drawing, const std::vector<MappedCode>& codes,
             std::vector<Converted>* out, int* smallest);

#endif
