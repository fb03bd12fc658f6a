#include "convert/sizing.h"

#include <algorithm>
#include <cmath>

namespace {

struct Sample {
  ScriptGroup group;
  std::vector<unsigned> glyphs;
};

// The glyphs a size is judged on: those of each main script, and an even
// sample of all the font's glyphs for the baseline.
struct Samples {
  std::vector<Sample> scripts;
  std::vector<unsigned> all;
  std::vector<unsigned> latin;  // a-z, A-Z, 0-9, for the Latin glyphs' stroke widths
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

std::vector<unsigned> spreadOf(const std::vector<unsigned>& glyphs, std::size_t count) {
  std::vector<unsigned> some;
  const std::size_t step = glyphs.size() / count + 1;
  for (std::size_t i = 0; i < glyphs.size(); i += step) {
    some.push_back(glyphs[i]);
  }
  return some;
}

// The glyphs of a-z, A-Z and 0-9 the font maps.
std::vector<unsigned> latinOf(const std::vector<MappedCode>& codes) {
  std::vector<unsigned> glyphs;
  for (const char* range : {"az", "AZ", "09"}) {
    for (std::uint32_t c = static_cast<unsigned char>(range[0]);
         c <= static_cast<unsigned char>(range[1]); ++c) {
      const unsigned glyph = glyphOf(codes, c);
      if (glyph != 0) {
        glyphs.push_back(glyph);
      }
    }
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
bool judge(Face* face, const Samples& samples, const Area& area, int* baselineRow) {
  std::vector<std::vector<InkBox>> inks;
  Bitmap bitmap;
  for (const Sample& sample : samples.scripts) {
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
  *baselineRow = chooseBaseline(inks, inksOf(face, samples.all), area);
  for (const std::vector<InkBox>& drawn : inks) {
    const BaselineFit fit = fitAt(*baselineRow, drawn, area);
    if (static_cast<long>(drawn.size()) - fit.fits > allowedOver(drawn.size())) {
      return false;
    }
  }
  return true;
}

// The baseline that fits the samples best at the size set, when none fits.
int bestBaseline(Face* face, const Samples& samples, const Area& area) {
  std::vector<std::vector<InkBox>> inks;
  for (const Sample& sample : samples.scripts) {
    inks.push_back(inksOf(face, sample.glyphs));
  }
  return chooseBaseline(inks, inksOf(face, samples.all), area);
}

bool drawnForCell(int size) {
  return size >= kFillStrikeMin && size <= kFillStrikeMax;
}

// The sizes tried, largest first: the one asked for, or the one an outline
// font is drawn in pixels of (`grid`), else each from the area's height plus
// kSizesAboveArea down that the face can be drawn at.
std::vector<int> sizesToTry(const FaceInfo& info, const SizingRequest& request, const Area& area,
                            int grid) {
  std::vector<int> sizes;
  if (request.size != 0 || grid != 0) {
    sizes.push_back(request.size != 0 ? request.size : grid);
    return sizes;
  }
  for (int size = std::max(area.height + kSizesAboveArea, kMinSize); size >= kMinSize; --size) {
    const bool strike =
        std::find(info.strikes.begin(), info.strikes.end(), size) != info.strikes.end();
    if (info.scalable || strike) {
      sizes.push_back(size);
    }
  }
  return sizes;
}

// Whether the samples fit at the size set, and where: in the area, or in the
// whole cell for a strike drawn for it (always by default; in an area asked
// for, where they need it).
bool fitsSize(Face* face, const Samples& samples, const SizingRequest& request, const Area& area,
              SizeChoice* choice) {
  const bool cellStrike =
      (choice->strike || choice->onGrid) && drawnForCell(choice->size) && area.width != kCellSize;
  int baseline = 0;
  if (!(cellStrike && request.area == 0) && judge(face, samples, area, &baseline)) {
    choice->area = area;
  } else if (cellStrike && judge(face, samples, kWholeCell, &baseline)) {
    choice->area = kWholeCell;
    choice->filled = true;
  } else {
    return false;
  }
  choice->fits = true;
  choice->baselineRow = baseline;
  return true;
}

// How much thinner the thinned drawing draws each way at the size set, in
// 1/64 pixels.
Thinning thinningOf(Face* face, const std::vector<unsigned>& glyphs) {
  float stems = 0;
  float bars = 0;
  if (glyphs.empty() || !face->measureStrokes(glyphs, &stems, &bars)) {
    return {};
  }
  const auto thinner = [](float width) {
    return width >= kThickStroke ? 0
                                 : static_cast<int>(std::lround(
                                       64 * std::clamp(width - kThinnedStroke, 0.0, kMaxThinning)));
  };
  return {thinner(stems), thinner(bars)};
}

void chooseThinning(Face* face, const Samples& samples, SizeChoice* choice) {
  std::vector<unsigned> glyphs;
  for (const Sample& sample : samples.scripts) {
    const std::vector<unsigned> some = spreadOf(sample.glyphs, kStrokeSample);
    glyphs.insert(glyphs.end(), some.begin(), some.end());
  }
  choice->thinning = thinningOf(face, glyphs);
  choice->latinThinning = thinningOf(face, samples.latin);
}

}  // namespace

bool chooseSize(Face* face, const FaceInfo& info, const SizingRequest& request,
                SizeChoice* choice) {
  const Samples samples{samplesOf(info), evenSample(info.codes, kAllSampleSize),
                        latinOf(info.codes)};
  choice->binding.clear();
  if (samples.scripts.front().group != kOtherScripts) {
    for (const Sample& sample : samples.scripts) {
      choice->binding.push_back(sample.group);
    }
  }
  Area area = kHandDrawnArea;
  if (request.area != 0 && !areaOfSize(request.area, &area)) {
    return false;
  }
  // A font drawn in pixels for the cell is drawn at their size, by default.
  std::vector<unsigned> glyphs = samples.all;
  for (const Sample& sample : samples.scripts) {
    glyphs.insert(glyphs.end(), sample.glyphs.begin(), sample.glyphs.end());
  }
  const int grid = request.size == 0 && request.area == 0 && request.rendering == Rendering::kAuto
                       ? face->gridSize(glyphs, kFillStrikeMax, kFillStrikeMin)
                       : 0;
  choice->onGrid = grid != 0;
  choice->scalable = info.scalable;
  // Choosing the best drawing of each glyph, or thinning it, changes its
  // strokes, not its box: the size is judged on the plain drawings.
  const Rendering sizingRendering = request.rendering;
  face->setPlain(true);
  choice->size = 0;
  for (int size : sizesToTry(info, request, area, grid)) {
    if (!face->setSize(size, sizingRendering, request.threshold, false)) {
      continue;
    }
    choice->size = size;
    choice->strike = face->usesStrike();
    choice->area = area;
    choice->filled = false;
    if (fitsSize(face, samples, request, area, choice)) {
      chooseThinning(face, samples, choice);
      return true;
    }
    if (request.size != 0) {
      break;  // asked for: drawn at it whatever fits
    }
  }
  if (choice->size == 0) {
    return false;
  }
  // Nothing fits: the smallest size tried, its glyphs placed as best they can.
  face->setSize(choice->size, sizingRendering, request.threshold, false);
  choice->baselineRow = bestBaseline(face, samples, area);
  chooseThinning(face, samples, choice);
  return true;
}
