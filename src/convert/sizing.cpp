#include "convert/sizing.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <numeric>

#include "convert/strokes.h"

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
  std::vector<char> allMain;    // for each of `all`, whether it is of a main script
  std::vector<unsigned> latin;  // a-z, A-Z, 0-9, for the Latin glyphs' stroke widths
};

unsigned glyphOf(const std::vector<MappedCode>& codes, std::uint32_t code) {
  const auto at = std::lower_bound(codes.begin(), codes.end(), code,
                                   [](const MappedCode& c, std::uint32_t v) { return c.code < v; });
  return at != codes.end() && at->code == code ? at->glyph : 0;
}

// Whether each glyph of evenSample(codes, count) is of one of `groups`.
std::vector<char> evenSampleOf(const std::vector<MappedCode>& codes, std::size_t count,
                               const std::vector<ScriptGroup>& groups) {
  std::vector<char> of;
  const std::size_t step = codes.size() / count + 1;
  for (std::size_t i = 0; i < codes.size(); i += step) {
    of.push_back(isOfGroups(groups, codes[i].code) ? 1 : 0);
  }
  return of;
}

std::vector<unsigned> evenSample(const std::vector<MappedCode>& codes, std::size_t count) {
  std::vector<unsigned> glyphs;
  const std::size_t step = codes.size() / count + 1;
  for (std::size_t i = 0; i < codes.size(); i += step) {
    glyphs.push_back(codes[i].glyph);
  }
  return glyphs;
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

// How many sampled glyphs a worker draws at a time, and how many it
// measures the strokes of.
constexpr std::size_t kSamplesPerTake = 16;
constexpr std::size_t kStrokeGlyphsPerTake = 4;

// How the samples are drawn: plain, at this size.
struct SampleDrawing {
  int size;
  Rendering rendering;
  int threshold;
  int tall;  // see Face::setSize
};

long allowedOver(std::size_t drawn) {
  return static_cast<long>(std::floor(static_cast<double>(drawn) * kMaxShareOver));
}

// The samples in the order they are drawn: each script's glyphs, then the
// even sample's, each with its group (the script's number; the even
// sample's is the number of scripts).
struct SampleList {
  std::vector<unsigned> glyphs;
  std::vector<std::size_t> groups;
  std::vector<char> main;  // whether it is of a main script (drawn taller where any is)
};

SampleList listOf(const Samples& samples) {
  SampleList list;
  for (std::size_t g = 0; g <= samples.scripts.size(); ++g) {
    const std::vector<unsigned>& glyphs =
        g < samples.scripts.size() ? samples.scripts[g].glyphs : samples.all;
    list.glyphs.insert(list.glyphs.end(), glyphs.begin(), glyphs.end());
    list.groups.resize(list.glyphs.size(), g);
  }
  list.main.assign(list.glyphs.size() - samples.all.size(), 1);
  list.main.insert(list.main.end(), samples.allMain.begin(), samples.allMain.end());
  return list;
}

// What the scripts' glyphs drawn so far rule out, shared by the workers: a
// script with more glyphs over the area than it may have, or, where it may
// have none, glyphs that reach further above and below the baseline
// together than the area is tall (no baseline lets them all stand in it).
class ScriptLimits {
 public:
  ScriptLimits(const Samples& samples, const Area& area)
      : limits_(new Limit[samples.scripts.size()]), height_(area.height), area_(area) {
    for (std::size_t g = 0; g < samples.scripts.size(); ++g) {
      limits_[g].allowed = allowedOver(samples.scripts[g].glyphs.size());
    }
  }
  // Counts a glyph of script `g`; false once the script cannot fit.
  bool fits(std::size_t g, const InkBox& ink) {
    Limit& limit = limits_[g];
    if (!fitsArea(ink, area_) && ++limit.over > limit.allowed) {
      return false;
    }
    return limit.allowed > 0 ||
           raise(&limit.above, ink.top) + raise(&limit.below, ink.height - ink.top) <= height_;
  }

 private:
  struct Limit {
    long allowed = 0;
    std::atomic<long> over{0};
    std::atomic<int> above{-kCellSize};  // the most rows above the baseline, and below
    std::atomic<int> below{-kCellSize};
  };
  // Raises `most` to `value` where that is more; the most now.
  static int raise(std::atomic<int>* most, int value) {
    int now = most->load();
    while (value > now && !most->compare_exchange_weak(now, value)) {
    }
    return value > now ? value : now;
  }
  std::unique_ptr<Limit[]> limits_;
  int height_;
  Area area_;
};

// The inks of the samples drawn at `drawing` on every worker: for each
// script those of its glyphs that draw ink, in order, and those of the even
// sample of all glyphs. With `area`, stops as soon as a script cannot fit
// it (see ScriptLimits), and returns false; so that a size far too large
// costs a few glyphs, the scripts' glyphs are taken before the even
// sample's.
bool sampleInks(Workers* workers, const Samples& samples, const SampleDrawing& drawing,
                const Area* area, std::vector<std::vector<InkBox>>* scripts,
                std::vector<InkBox>* all, std::vector<std::vector<int>>* heights = nullptr) {
  const SampleList list = listOf(samples);
  const std::size_t scriptCount = samples.scripts.size();
  std::vector<InkBox> inks(list.glyphs.size());
  std::vector<char> drawn(list.glyphs.size(), 0);
  std::unique_ptr<ScriptLimits> limits(area != nullptr ? new ScriptLimits(samples, *area)
                                                       : nullptr);
  std::atomic<bool> stopped{false};
  Jobs jobs(list.glyphs.size(), kSamplesPerTake);
  workers->run(workers->size(), [&](Face* face, std::size_t) {
    face->setPlain(true);
    if (!face->setSize(drawing.size, drawing.rendering, drawing.threshold, false, drawing.tall)) {
      return;  // the others draw its share
    }
    Bitmap bitmap;
    for (std::size_t from = 0, to = 0; jobs.take(&from, &to);) {
      for (std::size_t i = from; i < to; ++i) {
        face->drawTall(list.main[i] != 0);
        if (face->draw(list.glyphs[i], &bitmap) != Drawn::kInk) {
          continue;
        }
        inks[i] = inkOf(bitmap);
        drawn[i] = 1;
        const std::size_t g = list.groups[i];
        if (limits && g < scriptCount && !limits->fits(g, inks[i])) {
          stopped = true;
          jobs.stop();
        }
      }
    }
  });
  if (stopped) {
    return false;
  }
  scripts->assign(scriptCount, {});
  all->clear();
  if (heights != nullptr) {
    heights->assign(scriptCount, {});
  }
  for (std::size_t i = 0; i < list.glyphs.size(); ++i) {
    const std::size_t g = list.groups[i];
    if (heights != nullptr && g < scriptCount) {
      (*heights)[g].push_back(drawn[i] != 0 ? inks[i].height : 0);
    }
    if (drawn[i] != 0) {
      (g < scriptCount ? (*scripts)[g] : *all).push_back(inks[i]);
    }
  }
  return true;
}

// Whether the samples fit the area at the size set, and at which baseline.
// What a judge found where the samples fit: the baseline, how many of the
// even sample of all glyphs fit there, and the ink's height of each of each
// script's glyphs (0: none), in order.
struct Judged {
  int baselineRow = 0;
  long allFits = 0;
  std::vector<std::vector<int>> heights;
};

bool judge(Workers* workers, const Samples& samples, const SampleDrawing& drawing, const Area& area,
           Judged* judged) {
  std::vector<std::vector<InkBox>> inks;
  std::vector<InkBox> all;
  if (!sampleInks(workers, samples, drawing, &area, &inks, &all, &judged->heights)) {
    return false;
  }
  for (const std::vector<InkBox>& drawn : inks) {
    if (drawn.empty()) {
      return false;  // a size at which the script draws nothing is no size for it
    }
  }
  judged->baselineRow = chooseBaseline(inks, all, area);
  judged->allFits = fitAt(judged->baselineRow, all, area).fits;
  for (const std::vector<InkBox>& drawn : inks) {
    const BaselineFit fit = fitAt(judged->baselineRow, drawn, area);
    if (static_cast<long>(drawn.size()) - fit.fits > allowedOver(drawn.size())) {
      return false;
    }
  }
  return true;
}

// The baseline that fits the samples best at the size set, when none fits.
int bestBaseline(Workers* workers, const Samples& samples, const SampleDrawing& drawing,
                 const Area& area) {
  std::vector<std::vector<InkBox>> inks;
  std::vector<InkBox> all;
  sampleInks(workers, samples, drawing, nullptr, &inks, &all);
  return chooseBaseline(inks, all, area);
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
bool fitsSize(Workers* workers, const Samples& samples, const SizingRequest& request,
              const Area& area, SizeChoice* choice, Judged* judged) {
  const bool cellStrike =
      (choice->strike || choice->onGrid) && drawnForCell(choice->size) && area.width != kCellSize;
  const SampleDrawing drawing{choice->size, request.rendering, request.threshold, 0};
  if (!(cellStrike && request.area == 0) && judge(workers, samples, drawing, area, judged)) {
    choice->area = area;
  } else if (cellStrike && judge(workers, samples, drawing, kWholeCell, judged)) {
    choice->area = kWholeCell;
    choice->filled = true;
  } else {
    return false;
  }
  choice->fits = true;
  choice->baselineRow = judged->baselineRow;
  return true;
}

// The crossings of these glyphs' strokes at `size`, measured on every
// worker, in order; false where the face has no outlines to measure.
bool strokeCrossings(Workers* workers, const std::vector<unsigned>& glyphs,
                     const SampleDrawing& drawing, std::vector<Crossing>* crossings) {
  Jobs jobs(glyphs.size(), kStrokeGlyphsPerTake);
  std::vector<std::vector<Crossing>> parts((glyphs.size() + kStrokeGlyphsPerTake - 1) /
                                           kStrokeGlyphsPerTake);
  std::atomic<std::size_t> done{0};
  workers->run(workers->size(), [&](Face* face, std::size_t) {
    std::vector<Crossing> none;
    face->setPlain(true);
    if (!face->setSize(drawing.size, drawing.rendering, drawing.threshold, false, drawing.tall)) {
      return;
    }
    face->drawTall(true);
    if (!face->addStrokeCrossings(nullptr, 0, &none)) {
      return;  // the others measure its share, if any can
    }
    for (std::size_t from = 0, to = 0; jobs.take(&from, &to);) {
      face->addStrokeCrossings(glyphs.data() + from, to - from,
                               &parts[from / kStrokeGlyphsPerTake]);
      ++done;
    }
  });
  if (done != parts.size()) {
    return false;
  }
  for (const std::vector<Crossing>& part : parts) {
    crossings->insert(crossings->end(), part.begin(), part.end());
  }
  return true;
}

// How much thinner the thinned drawing draws each way at the size of
// `drawing`, in 1/64 pixels.
Thinning thinningOf(Workers* workers, const std::vector<unsigned>& glyphs,
                    const SampleDrawing& drawing) {
  std::vector<Crossing> crossings;
  if (glyphs.empty() || !strokeCrossings(workers, glyphs, drawing, &crossings)) {
    return {};
  }
  const StrokeWidths widths = strokeWidthsOf(crossings);
  const auto thinner = [](float width) {
    return width >= kThickStroke ? 0
                                 : static_cast<int>(std::lround(
                                       64 * std::clamp(width - kThinnedStroke, 0.0, kMaxThinning)));
  };
  return {thinner(widths.stems), thinner(widths.bars)};
}

void chooseThinning(Workers* workers, const Samples& samples, const SizingRequest& request,
                    SizeChoice* choice) {
  // The main scripts' glyphs measured as tall as they are drawn, the Latin
  // ones as wide as tall.
  SampleDrawing drawing{choice->size, request.rendering, request.threshold, choice->tall};
  std::vector<unsigned> glyphs;
  for (const Sample& sample : samples.scripts) {
    const std::vector<unsigned> some = spreadOf(sample.glyphs, kStrokeSample);
    glyphs.insert(glyphs.end(), some.begin(), some.end());
  }
  choice->thinning = thinningOf(workers, glyphs, drawing);
  drawing.tall = 0;
  choice->latinThinning = thinningOf(workers, samples.latin, drawing);
}

// Whether the samples are of scripts whose glyphs fill a square em
// (ideographs, Hangul, kana).
bool squareScripts(const Samples& samples) {
  for (const Sample& sample : samples.scripts) {
    if (sample.group != kIdeographs && sample.group != kHangul && sample.group != kKana) {
      return false;
    }
  }
  return true;
}

// The outlines drawn taller than wide, where that fills more of the area's
// height: by default, a CJK font from its outlines in an area taller than
// wide (the hand-drawn fonts' 15 columns and 16 rows) is drawn as many
// pixels taller as its samples still fit, and as many of the even sample of
// all its glyphs as at its size (so that no more of its other glyphs, a
// Latin g, are drawn smaller), up to kMaxTaller per kTallerPer of its size,
// at the baseline that fits them then. `plainFits`: how many of the even
// sample fit at its size.
void chooseTallness(Workers* workers, const Samples& samples, const SizingRequest& request,
                    const Judged& plain, SizeChoice* choice) {
  choice->tall = 0;
  if (request.size != 0 || choice->strike || choice->onGrid || !choice->scalable ||
      choice->area.height <= choice->area.width || !squareScripts(samples)) {
    return;
  }
  // The tallest glyphs first, so that a height at which one does not fit
  // costs a few drawings.
  Samples tallestFirst = samples;
  for (std::size_t g = 0; g < samples.scripts.size(); ++g) {
    std::vector<std::size_t> order(samples.scripts[g].glyphs.size());
    std::iota(order.begin(), order.end(), 0);
    const std::vector<int>& heights = plain.heights[g];
    std::stable_sort(order.begin(), order.end(),
                     [&heights](std::size_t a, std::size_t b) { return heights[a] > heights[b]; });
    std::vector<unsigned>& glyphs = tallestFirst.scripts[g].glyphs;
    glyphs.clear();
    for (const std::size_t i : order) {
      glyphs.push_back(samples.scripts[g].glyphs[i]);
    }
  }
  const int most = choice->size + choice->size * kMaxTaller / kTallerPer;
  for (int tall = choice->size + 1; tall <= most; ++tall) {
    Judged taller;
    if (!judge(workers, tallestFirst, {choice->size, request.rendering, request.threshold, tall},
               choice->area, &taller) ||
        taller.allFits < plain.allFits) {
      break;
    }
    choice->tall = tall;
    choice->baselineRow = taller.baselineRow;
  }
}

// The size an outline font drawn in pixels for the cell is drawn at, by
// default; 0 for any other.
int gridOf(Face* face, const Samples& samples, const SizingRequest& request) {
  if (request.size != 0 || request.area != 0 || request.rendering != Rendering::kAuto) {
    return 0;
  }
  std::vector<unsigned> glyphs = samples.all;
  for (const Sample& sample : samples.scripts) {
    glyphs.insert(glyphs.end(), sample.glyphs.begin(), sample.glyphs.end());
  }
  return face->gridSize(glyphs, kFillStrikeMax, kFillStrikeMin);
}

}  // namespace

std::vector<unsigned> spreadOf(const std::vector<unsigned>& glyphs, std::size_t count) {
  std::vector<unsigned> some;
  const std::size_t step = glyphs.size() / count + 1;
  for (std::size_t i = 0; i < glyphs.size(); i += step) {
    some.push_back(glyphs[i]);
  }
  return some;
}

bool drawnTall(const SizeChoice& choice, std::uint32_t code) {
  return choice.tall != 0 && isOfGroups(choice.binding, code);
}

int tallAt(const SizeChoice& choice, int size) {
  return choice.tall == 0 || choice.size == 0
             ? 0
             : (choice.tall * size + choice.size / 2) / choice.size;
}

bool chooseSize(Workers* workers, const FaceInfo& info, const SizingRequest& request,
                SizeChoice* choice) {
  Face* face = workers->first();
  Samples samples{samplesOf(info), evenSample(info.codes, kAllSampleSize), {}, latinOf(info.codes)};
  choice->binding.clear();
  if (samples.scripts.front().group != kOtherScripts) {
    for (const Sample& sample : samples.scripts) {
      choice->binding.push_back(sample.group);
    }
  }
  samples.allMain = evenSampleOf(info.codes, kAllSampleSize, choice->binding);
  Area area = kHandDrawnArea;
  if (request.area != 0 && !areaOfSize(request.area, &area)) {
    return false;
  }
  const int grid = gridOf(face, samples, request);
  choice->onGrid = grid != 0;
  choice->scalable = info.scalable;
  // Choosing the best drawing of each glyph, or thinning it, changes its
  // strokes, not its box: the size is judged on the plain drawings.
  face->setPlain(true);
  choice->size = 0;
  choice->tall = 0;
  for (int size : sizesToTry(info, request, area, grid)) {
    if (!face->setSize(size, request.rendering, request.threshold, false)) {
      continue;
    }
    choice->size = size;
    choice->strike = face->usesStrike();
    choice->area = area;
    choice->filled = false;
    Judged judged;
    if (fitsSize(workers, samples, request, area, choice, &judged)) {
      chooseTallness(workers, samples, request, judged, choice);
      chooseThinning(workers, samples, request, choice);
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
  choice->baselineRow =
      bestBaseline(workers, samples, {choice->size, request.rendering, request.threshold, 0}, area);
  chooseThinning(workers, samples, request, choice);
  return true;
}
