#include "convert/drawing.h"

#include <algorithm>

#include "common/codes.h"
#include "convert/layout.h"
#include "convert/scripts.h"

namespace {

// How many codes a worker takes at a time: few enough that the workers
// finish together, whatever the font's codes cost to draw.
constexpr std::size_t kCodesPerTake = 256;

Misfit misfitOf(const InkBox& ink, const Area& area) {
  return ink.width > area.width     ? Misfit::kWide
         : ink.height > area.height ? Misfit::kTall
                                    : Misfit::kOffArea;
}

// Places a drawn glyph; true when it stands whole where it must: no pixel
// lost, and not moved up or down unless `mayMoveUpDown`.
bool place(const Bitmap& bitmap, const Area& area, int baselineRow, bool mayMoveUpDown,
           Converted* out) {
  const InkBox ink = inkOf(bitmap);
  const Placed placed = placeGlyph(bitmap, ink, baselineRow, area);
  std::copy(placed.rows, placed.rows + kCellSize, out->cell.rows);
  out->cell.advance = bitmap.advance;
  out->down = placed.down;
  out->right = placed.right;
  out->lost = placed.lost;
  out->ink = true;
  out->outcome = placed.lost > 0                         ? Outcome::kClipped
                 : placed.down != 0 || placed.right != 0 ? Outcome::kMoved
                                                         : Outcome::kWhole;
  const bool whole = placed.lost == 0 && (mayMoveUpDown || placed.down == 0);
  out->misfit = whole ? Misfit::kNone : misfitOf(ink, area);
  return whole;
}

Drawn drawPlain(Face* face, unsigned glyph, Bitmap* bitmap) {
  face->setPlain(true);
  const Drawn drawn = face->draw(glyph, bitmap);
  face->setPlain(false);
  return drawn;
}

// Draws one code at the size set and places it, moved up or down only where
// `mayMove` (a glyph too large for the area stands on no baseline once it is
// drawn smaller). A thinned drawing that loses all its ink, or that does not
// stand whole, is drawn again unthinned. True when it stands whole (or draws
// nothing, or cannot be drawn).
bool drawPlaced(Face* face, const Drawing& drawing, int size, const MappedCode& code, bool mayMove,
                Bitmap* scratch, Converted* out) {
  out->code = code.code;
  out->cell.code = static_cast<std::uint16_t>(code.code);
  const SizeChoice& choice = *drawing.choice;
  const bool mayMoveUpDown =
      mayMove || drawing.sizeGiven || face->usesStrike() || !drawing.scalable;
  // Latin glyphs thinned as their own strokes need, and as much thinner for
  // a smaller size.
  const Thinning& thinning = scriptOf(code.code) == kLatin ? choice.latinThinning : choice.thinning;
  face->setThinning({thinning.stems * size / choice.size, thinning.bars * size / choice.size});
  face->drawTall(drawnTall(choice, code.code));
  Bitmap& bitmap = *scratch;
  Drawn drawn = face->draw(code.glyph, &bitmap);
  out->chosen = face->chosen();
  if (drawn == Drawn::kBlank && face->thins()) {
    drawn = drawPlain(face, code.glyph, &bitmap);
    out->plain = drawn == Drawn::kInk;
  }
  if (drawn == Drawn::kUndrawable) {
    out->outcome = Outcome::kUndrawable;
    return true;
  }
  if (drawn == Drawn::kBlank) {
    out->outcome = isMeantBlank(code.code) ? Outcome::kWhole : Outcome::kBlankLeftOut;
    out->cell.advance = bitmap.advance;
    return true;
  }
  if (place(bitmap, choice.area, choice.baselineRow, mayMoveUpDown, out) || !face->thins()) {
    return out->misfit == Misfit::kNone;
  }
  Converted plain = *out;
  const bool whole = drawPlain(face, code.glyph, &bitmap) == Drawn::kInk &&
                     place(bitmap, choice.area, choice.baselineRow, mayMoveUpDown, &plain);
  if (whole) {
    plain.plain = true;
    *out = plain;
  }
  return whole;
}

// The misfits drawn again at each smaller size, from the outlines where
// there are any, else from the smaller strikes; one that only stands off the
// area on its baseline at most kMaxSmallerOnBaseline smaller. At a size
// asked for, a misfit only learns the size it would fit at. What fits at no
// size stays moved where moving keeps it whole, and is left out otherwise
// (clipped at a size asked for).
void redrawSmaller(Face* face, const Drawing& drawing, const MappedCode* codes,
                   std::vector<std::size_t> misfits, Converted* out) {
  const SizingRequest& sizing = *drawing.sizing;
  for (int size = drawing.choice->size - 1; size >= kMinSize && !misfits.empty(); --size) {
    if (!face->setSize(size, sizing.rendering, sizing.threshold, drawing.scalable,
                       tallAt(*drawing.choice, size))) {
      continue;
    }
    std::vector<std::size_t> still;
    Bitmap scratch;
    for (std::size_t i : misfits) {
      Converted trial;
      const bool offArea = out[i].misfit == Misfit::kOffArea;
      const bool tooSmall = offArea && size < drawing.choice->size - kMaxSmallerOnBaseline;
      if (tooSmall || !drawPlaced(face, drawing, size, codes[i], !offArea, &scratch, &trial) ||
          !trial.ink) {
        still.push_back(i);
      } else if (drawing.sizeGiven) {
        out[i].size = size;
      } else {
        trial.outcome = Outcome::kSmaller;
        trial.misfit = out[i].misfit;
        trial.size = size;
        out[i] = trial;
      }
    }
    misfits.swap(still);
  }
  for (std::size_t i : misfits) {
    if (out[i].lost > 0 && !drawing.sizeGiven) {
      out[i].outcome = Outcome::kNoFit;
    }
  }
}

// One worker's share: takes codes kCodesPerTake at a time until none are
// left, then draws its misfits smaller.
void drawShare(Face* face, const Drawing& drawing, const std::vector<MappedCode>& codes, Jobs* jobs,
               Converted* out) {
  const SizeChoice& choice = *drawing.choice;
  const SizingRequest& sizing = *drawing.sizing;
  face->setRoom(choice.area.width, choice.area.height);
  face->setPlain(choice.onGrid);
  face->setSize(choice.size, sizing.rendering, sizing.threshold, !choice.strike, choice.tall);
  std::vector<std::size_t> misfits;
  Bitmap scratch;  // for every glyph: no allocation at each
  for (std::size_t from = 0, to = 0; jobs->take(&from, &to);) {
    for (std::size_t i = from; i < to; ++i) {
      if (!drawPlaced(face, drawing, choice.size, codes[i], false, &scratch, &out[i])) {
        misfits.push_back(i);
      }
    }
  }
  redrawSmaller(face, drawing, codes.data(), misfits, out);
}

}  // namespace

void drawAll(Workers* workers, const Drawing& drawing, const std::vector<MappedCode>& codes,
             std::vector<Converted>* out, int* smallest) {
  out->assign(codes.size(), Converted{});
  Jobs jobs(codes.size(), kCodesPerTake);
  workers->run(
      std::max<std::size_t>(1, codes.size() / (4 * kCodesPerTake)),
      [&](Face* face, std::size_t) { drawShare(face, drawing, codes, &jobs, out->data()); });
  // The size at which none is lost is the smallest any clipped glyph needs;
  // one that fits at no size leaves it unknown.
  *smallest = 0;
  for (const Converted& c : *out) {
    if (c.outcome == Outcome::kClipped) {
      if (c.size == 0) {
        *smallest = 0;
        break;
      }
      *smallest = *smallest == 0 ? c.size : std::min(*smallest, c.size);
    }
  }
}
