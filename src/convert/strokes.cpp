#include "convert/strokes.h"

#include <algorithm>
#include <cmath>

#include "convert/layout.h"

namespace {

// A profile's run counts as a stroke's cross-section when it is at most this
// thick (a longer one runs along a stroke); a blank between two strokes
// counts from this width. In small pixels.
constexpr float kMaxStrokeWidth = 2.5f;
constexpr float kMinGapWidth = 0.5f;
// How near its centre a cross-section needs ink, and a gap a blank pixel.
constexpr float kInkReach = 1.0f;
constexpr float kGapReach = 0.5f;
// Grey share from which a profile is ink.
constexpr float kInkLevel = 0.5f;

int floorDiv(int a, int b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// Finds the runs of one profile (grey shares at 1/kJudgeScale pixel steps)
// and adds their crossings; `position(i)` gives the centre of step i in
// pixels.
template <typename Position>
void addRuns(const std::vector<float>& profile, bool across, int line, Position position,
             std::vector<Crossing>* out) {
  const int n = static_cast<int>(profile.size());
  int lastInkEnd = -1;  // one past the end of the previous ink run
  for (int i = 0; i < n;) {
    if (profile[static_cast<std::size_t>(i)] < kInkLevel) {
      ++i;
      continue;
    }
    int end = i;
    while (end < n && profile[static_cast<std::size_t>(end)] >= kInkLevel) {
      ++end;
    }
    if (end - i <= kMaxStrokeWidth * kJudgeScale) {
      out->push_back({across, false, line, (position(i) + position(end - 1)) / 2,
                      static_cast<float>(end - i) / kJudgeScale});
    }
    if (lastInkEnd >= 0 && i - lastInkEnd >= kMinGapWidth * kJudgeScale) {
      out->push_back({across, true, line, (position(lastInkEnd) + position(i - 1)) / 2,
                      static_cast<float>(i - lastInkEnd) / kJudgeScale});
    }
    lastInkEnd = end;
    i = end;
  }
}

}  // namespace

std::vector<Crossing> crossingsOf(const Bitmap& reference) {
  std::vector<Crossing> crossings;
  const int s = kJudgeScale;
  const auto grey = [&](int x, int y) {
    return x < 0 || x >= reference.width || y < 0 || y >= reference.height
               ? 0.0f
               : reference.pixels[static_cast<std::size_t>(y * reference.width + x)] / 255.0f;
  };
  // Columns: each small column covers kJudgeScale reference columns.
  const int firstColumn = floorDiv(reference.left, s);
  const int lastColumn = floorDiv(reference.left + reference.width - 1, s);
  std::vector<float> profile(static_cast<std::size_t>(reference.height));
  for (int c = firstColumn; c <= lastColumn; ++c) {
    for (int y = 0; y < reference.height; ++y) {
      float sum = 0;
      for (int k = 0; k < s; ++k) {
        sum += grey(c * s + k - reference.left, y);
      }
      profile[static_cast<std::size_t>(y)] = sum / s;
    }
    addRuns(
        profile, false, c,
        [&](int y) { return (static_cast<float>(reference.top - y) - 0.5f) / s; }, &crossings);
  }
  // Rows: the small row whose top edge is t pixels above the baseline covers
  // the reference rows from top - t * scale on.
  const int topRow = floorDiv(reference.top + s - 1, s);
  const int bottomRow = floorDiv(reference.top - reference.height, s) + 1;
  profile.assign(static_cast<std::size_t>(reference.width), 0);
  for (int t = topRow; t >= bottomRow; --t) {
    for (int x = 0; x < reference.width; ++x) {
      float sum = 0;
      for (int k = 0; k < s; ++k) {
        sum += grey(x, reference.top - t * s + k);
      }
      profile[static_cast<std::size_t>(x)] = sum / s;
    }
    addRuns(
        profile, true, t,
        [&](int x) { return (static_cast<float>(reference.left + x) + 0.5f) / s; }, &crossings);
  }
  return crossings;
}

StrokeWidths strokeWidthsOf(const std::vector<Crossing>& crossings) {
  std::vector<float> stems;
  std::vector<float> bars;
  for (const Crossing& crossing : crossings) {
    if (!crossing.gap) {
      (crossing.across ? stems : bars).push_back(crossing.width);
    }
  }
  // The width at `share` of the widths in order: the one that many are no
  // wider than.
  const auto at = [](std::vector<float>* widths, double share) {
    if (widths->empty()) {
      return 0.0f;
    }
    const auto nth =
        widths->begin() + static_cast<std::ptrdiff_t>(static_cast<double>(widths->size()) * share);
    std::nth_element(widths->begin(), nth, widths->end());
    return *nth;
  };
  return {at(&stems, kStemShare), at(&bars, 0.5)};
}

int crossingsKept(const std::vector<Crossing>& crossings, const Bitmap& small) {
  const auto ink = [&](int x, int y) {
    return x >= 0 && x < small.width && y >= 0 && y < small.height && small.at(x, y);
  };
  int best = 0;
  for (int dx = -1; dx <= 1; ++dx) {
    for (int dy = -1; dy <= 1; ++dy) {
      int kept = 0;
      for (const Crossing& crossing : crossings) {
        const float reach = crossing.gap ? kGapReach : kInkReach;
        bool found = false;
        if (!crossing.across) {
          const int x = crossing.line - small.left - dx;
          // Row y's centre stands small.top + dy - y - 0.5 above the baseline.
          const float at = static_cast<float>(small.top + dy) - 0.5f - crossing.centre;
          for (int y = static_cast<int>(std::ceil(at - reach));
               y <= static_cast<int>(std::floor(at + reach)) && !found; ++y) {
            found = ink(x, y) != crossing.gap;
          }
        } else {
          const int y = small.top + dy - crossing.line;
          const float at = crossing.centre - 0.5f - static_cast<float>(small.left + dx);
          for (int x = static_cast<int>(std::ceil(at - reach));
               x <= static_cast<int>(std::floor(at + reach)) && !found; ++x) {
            found = ink(x, y) != crossing.gap;
          }
        }
        kept += found ? 1 : 0;
      }
      best = kept > best ? kept : best;
    }
  }
  return best;
}

bool inkFits(const Bitmap& candidate, const Bitmap& plain, int roomWidth, int roomHeight) {
  const InkBox a = inkOf(candidate);
  const InkBox b = inkOf(plain);
  if (a.width == 0 || b.width == 0) {
    return false;
  }
  return a.width <= std::max(b.width, roomWidth) && a.height <= std::max(b.height, roomHeight);
}
