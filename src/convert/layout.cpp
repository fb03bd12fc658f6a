#include "convert/layout.h"

#include <algorithm>
#include <climits>

InkBox inkOf(const Bitmap& bitmap) {
  int x0 = bitmap.width;
  int y0 = -1;
  int x1 = -1;
  int y1 = -1;
  for (int y = 0; y < bitmap.height; ++y) {
    const std::uint8_t* row = bitmap.pixels.data() + static_cast<std::size_t>(y) * bitmap.width;
    int first = 0;
    while (first < bitmap.width && row[first] == 0) {
      ++first;
    }
    if (first == bitmap.width) {
      continue;
    }
    int last = bitmap.width - 1;
    while (row[last] == 0) {
      --last;
    }
    x0 = std::min(x0, first);
    x1 = std::max(x1, last);
    y0 = y0 < 0 ? y : y0;
    y1 = y;
  }
  InkBox ink;
  if (x1 >= 0) {
    ink = InkBox{x0, y0, x1 - x0 + 1, y1 - y0 + 1, bitmap.left + x0, bitmap.top - y0};
  }
  return ink;
}

bool areaOfSize(int size, Area* area) {
  for (const Area& known : {kMarginArea, kHandDrawnArea, kWholeCell}) {
    if (known.width == size) {
      *area = known;
      return true;
    }
  }
  return false;
}

bool fitsArea(const InkBox& ink, const Area& area) {
  return ink.width <= area.width && ink.height <= area.height;
}

namespace {

// Where a glyph whose natural first row (or column) is `natural` and whose
// extent is `extent` must stand to be inside the span of `size` from
// `first`; centred on it when it is larger.
int placeWithin(int natural, int extent, int first, int size) {
  if (extent > size) {
    return first - (extent - size) / 2;
  }
  return std::clamp(natural, first, first + size - extent);
}

}  // namespace

bool fitsAt(int baselineRow, const InkBox& ink, const Area& area) {
  const int row = baselineRow - ink.top;
  return ink.width == 0 ||
         (fitsArea(ink, area) && row >= area.top && row + ink.height <= area.bottom());
}

BaselineFit fitAt(int baselineRow, const std::vector<InkBox>& inks, const Area& area) {
  BaselineFit fit;
  for (const InkBox& ink : inks) {
    const int natural = baselineRow - ink.top;
    if (fitsAt(baselineRow, ink, area)) {
      ++fit.fits;
    } else {
      fit.moves += std::abs(placeWithin(natural, ink.height, area.top, area.height) - natural);
    }
  }
  return fit;
}

int chooseBaseline(const std::vector<std::vector<InkBox>>& scripts, const std::vector<InkBox>& all,
                   const Area& area) {
  // Where the glyphs would stand centred in the area, for baselines that are
  // otherwise as good as each other.
  int above = 0;
  int below = 0;
  for (const std::vector<InkBox>& inks : scripts) {
    for (const InkBox& ink : inks) {
      if (ink.width != 0) {
        above = std::max(above, ink.top);
        below = std::max(below, ink.height - ink.top);
      }
    }
  }
  const int centred = area.top + (area.height - above - below) / 2 + above;
  int best = 0;
  double bestWorst = -1;
  BaselineFit bestAll;
  for (int baseline = area.top + 1; baseline <= area.bottom(); ++baseline) {
    double worst = 1;
    for (const std::vector<InkBox>& inks : scripts) {
      if (!inks.empty()) {
        worst = std::min(worst, static_cast<double>(fitAt(baseline, inks, area).fits) /
                                    static_cast<double>(inks.size()));
      }
    }
    const BaselineFit a = fitAt(baseline, all, area);
    const bool tie = worst == bestWorst && a.fits == bestAll.fits && a.moves == bestAll.moves;
    if (worst > bestWorst ||
        (worst == bestWorst &&
         (a.fits > bestAll.fits || (a.fits == bestAll.fits && a.moves < bestAll.moves))) ||
        (tie && std::abs(baseline - centred) < std::abs(best - centred))) {
      best = baseline;
      bestWorst = worst;
      bestAll = a;
    }
  }
  return best;
}

Placed placeGlyph(const Bitmap& bitmap, const InkBox& ink, int baselineRow, const Area& area) {
  Placed placed;
  if (ink.width == 0) {
    return placed;
  }
  const int naturalRow = baselineRow - ink.top;
  const int naturalColumn = area.left + ink.left;
  const int row = placeWithin(naturalRow, ink.height, area.top, area.height);
  const int column = placeWithin(naturalColumn, ink.width, area.left, area.width);
  placed.down = row - naturalRow;
  placed.right = column - naturalColumn;
  for (int y = 0; y < ink.height; ++y) {
    const std::uint8_t* pixels =
        bitmap.pixels.data() + static_cast<std::size_t>(ink.y0 + y) * bitmap.width + ink.x0;
    const int r = row + y;
    const bool inside = r >= area.top && r < area.bottom();
    unsigned bits = 0;
    for (int x = 0; x < ink.width; ++x) {
      const int c = column + x;
      if (pixels[x] == 0) {
        continue;
      }
      if (!inside || c < area.left || c >= area.right()) {
        ++placed.lost;
      } else {
        bits |= 0x8000u >> c;
      }
    }
    if (inside) {
      placed.rows[r] = static_cast<std::uint16_t>(placed.rows[r] | bits);
    }
  }
  return placed;
}
