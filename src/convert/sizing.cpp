#include "convert/sizing.h"

#include <algorithm>
#include <cmath>

namespace {

struct Sample {
  ScriptGroup group;
  std::vector<unsigned> glyphs;
};

unsigned glyphOf(const std::vector<MappedCode>& codes, std::uint32_t code) {
  const auto at = std::lower_bound(codes.begin(), codes.end(), code,
                                   [](const MappedCode& c, std::uint32_t v) { return c.code < v; });
  return at != codes.end() && at->code == code ? at->glyph : 0;
}

std::vector<unsigned> evenSample(const std::vector<MappedCode>& codes, std::size_t count) {
  std::vector<unsigned> glyphs;
  const std::size_t step = codes.size() / count + 1;
  for (std::size_t i = 0; i < codes.size(); i += step) {
    glyphs.push_back(codes[i].glyph);
  }
  return glyphs;
}

// The glyphs the size is judged on, by script.
std::vector<Sample> samplesOf(const FaceInfo& info) {
  std::vector<Sample> samples;
  for (const SizingScript* script : sizingScriptsOf(info.codes)) {
    Sample sample{script->group, {}};
    for (std::size_t i = 0; i < script->sampleSize; ++i) {
      const unsigned glyph = glyphOf(info.codes, script->sample[i]);
      if (glyph != 0) {
        sample.glyphs.push_back(glyph);
      }
    }
    samples.push_back(sample);
  }
  if (samples.empty()) {
    samples.push_back({kOtherScripts, evenSample(info.codes, kAllSampleSize)});
  }
  return samples;
}

std::vector<InkBox> inksOf(Face* face, const std::vector<unsigned>& glyphs) {
  std::vector<InkBox> inks;
  Bitmap bitmap;
  for (unsigned glyph : glyphs) {
    if (face->draw(glyph, &bitmap) == Drawn::kInk) {
      inks.push_back(inkOf(bitmap));
    }
  }
  return inks;
}

long allowedOver(std::size_t drawn) {
  return static_cast<long>(std::floor(static_cast<double>(drawn) * kMaxShareOver));
}

// Whether the samples fit the area at the size set, and at which baseline.
// Glyphs too large for the area at any baseline are counted first, so that a
// size far too large costs a few glyphs.
bool judge(Face* face, const std::vector<Sample>& samples, const std::vector<unsigned>& all,
           const Area& area, int* baselineRow) {
  std::vector<std::vector<InkBox>> inks;
  Bitmap bitmap;
  for (const Sample& sample : samples) {
    const long allowed = allowedOver(sample.glyphs.size());
    long over = 0;
    std::vector<InkBox> drawn;
    for (unsigned glyph : sample.glyphs) {
      if (face->draw(glyph, &bitmap) != Drawn::kInk) {
        continue;
      }
      drawn.push_back(inkOf(bitmap));
      if (!fitsArea(drawn.back(), area) && ++over > allowed) {
        return false;
      }
    }
    if (drawn.empty()) {
      return false;  // a size at which the script draws nothing is no size for it
    }
    inks.push_back(std::move(drawn));
  }
  *baselineRow = chooseBaseline(inks, inksOf(face, all), area);
  for (const std::vector<InkBox>& drawn : inks) {
    const BaselineFit fit = fitAt(*baselineRow, drawn, area);
    if (static_cast<long>(drawn.size()) - fit.fits > allowedOver(drawn.size())) {
      return false;
    }
  }
  return true;
}

// The baseline that fits the samples best at the size set, when none fits.
int bestBaseline(Face* face, const std::vector<Sample>& samples, const std::vector<unsigned>& all,
                 const Area& area) {
  std::vector<std::vector<InkBox>> inks;
  for (const Sample& sample : samples) {
    inks.push_back(inksOf(face, sample.glyphs));
  }
  return chooseBaseline(inks, inksOf(face, all), area);
}

}  // namespace

bool chooseSize(Face* face, const FaceInfo& info, const SizingRequest& request,
                SizeChoice* choice) {
  const std::vector<Sample> samples = samplesOf(info);
  const std::vector<unsigned> all = evenSample(info.codes, kAllSampleSize);
  choice->binding.clear();
  if (samples.front().group != kOtherScripts) {
    for (const Sample& sample : samples) {
      choice->binding.push_back(sample.group);
    }
  }
  const Area area{request.fill ? 0 : kCellMargin};
  choice->area = area;
  // Choosing the best drawing of each glyph changes its strokes, not its box:
  // the size is judged on the plain drawings.
  const Rendering sizingRendering =
      request.rendering == Rendering::kBest ? Rendering::kUnhinted : request.rendering;

  std::vector<int> sizes;
  if (request.size != 0) {
    sizes.push_back(request.size);
  } else {
    const int largest = area.size() + kSizesAboveArea;
    for (int size = std::max(largest, kMinSize); size >= kMinSize; --size) {
      const bool strike =
          std::find(info.strikes.begin(), info.strikes.end(), size) != info.strikes.end();
      if (info.scalable || strike) {
        sizes.push_back(size);
      }
    }
  }
  for (int size : sizes) {
    if (!face->setSize(size, sizingRendering, request.threshold, false)) {
      continue;
    }
    choice->size = size;
    choice->strike = face->usesStrike();
    choice->area = area;
    choice->filled = false;
    int baseline = 0;
    if (judge(face, samples, all, area, &baseline)) {
      choice->fits = true;
      choice->baselineRow = baseline;
      return true;
    }
    if (choice->strike && !request.fill && size >= kFillStrikeMin && size <= kFillStrikeMax &&
        judge(face, samples, all, Area{0}, &baseline)) {
      choice->fits = true;
      choice->filled = true;
      choice->area = Area{0};
      choice->baselineRow = baseline;
      return true;
    }
    if (request.size != 0) {
      // Asked for: drawn at it whatever fits.
      choice->baselineRow = bestBaseline(face, samples, all, area);
      return true;
    }
  }
  if (choice->size == 0) {
    return false;
  }
  // Nothing fits: the smallest size tried, its glyphs placed as best they can.
  face->setSize(choice->size, sizingRendering, request.threshold, false);
  choice->baselineRow = bestBaseline(face, samples, all, area);
  return true;
}
