#include "convert/chain.h"

#include <algorithm>
#include <bitset>
#include <cmath>
#include <map>

#include "convert/charsets.h"
#include "convert/layout.h"

namespace {

unsigned glyphOf(const std::vector<MappedCode>& codes, std::uint32_t code) {
  const auto at = std::lower_bound(codes.begin(), codes.end(), code,
                                   [](const MappedCode& c, std::uint32_t v) { return c.code < v; });
  return at != codes.end() && at->code == code ? at->glyph : 0;
}

// The share of `set` that the codes (in order) have.
double shareOf(const CommonSet& set, const std::vector<MappedCode>& codes) {
  long have = 0;
  for (std::uint32_t code : set.codes) {
    have += glyphOf(codes, code) != 0 ? 1 : 0;
  }
  return set.codes.empty() ? 0 : static_cast<double>(have) / static_cast<double>(set.codes.size());
}

// A face of a collection and what it would fill.
struct Candidate {
  int face;
  long fills[kScriptGroups];
  long total;
  unsigned languages;
  bool strike;  // bitmaps of the first font's size
};

// The language a main script is written in, where only one writes it.
Language languageOfScript(ScriptGroup script) {
  return script == kHangul ? kKorean : script == kKana ? kJapanese : kNoLanguage;
}

// Whether `a` is the better face for `script` and `language`.
bool betterFace(const Candidate& a, const Candidate& b, ScriptGroup script, Language language) {
  const bool aFor = (a.languages & language) != 0;
  const bool bFor = (b.languages & language) != 0;
  if (aFor != bFor) {
    return aFor;
  }
  if (a.strike != b.strike) {
    return a.strike;
  }
  const std::size_t aCount = std::bitset<8>(a.languages).count();
  const std::size_t bCount = std::bitset<8>(b.languages).count();
  if (aCount != bCount) {
    return aCount < bCount;
  }
  if (a.fills[script] != b.fills[script]) {
    return a.fills[script] > b.fills[script];
  }
  return a.total != b.total ? a.total > b.total : a.face < b.face;
}

bool hasStrike(const FaceInfo& info, int size) {
  return std::count(info.strikes.begin(), info.strikes.end(), size) > 0;
}

// The faces of a collection that can be opened, each font once, with what
// each would fill.
std::vector<Candidate> candidatesOf(const FontData& data, const FaceList& list,
                                    const CodeRanges& ranges,
                                    const std::vector<std::uint32_t>& drawn, int strikeSize,
                                    bool* capped, std::string* error) {
  std::vector<Candidate> candidates;
  Face face;
  int fonts = 0;
  for (int i = 0; i < list.faces; ++i) {
    FaceInfo info;
    std::string why;
    if (list.same[static_cast<std::size_t>(i)] != i) {
      continue;
    }
    if (++fonts > kMaxFacesCompared) {
      *capped = true;
      break;
    }
    if (!face.open(data, i, &info, &why)) {
      *error = error->empty() ? why : *error;
      continue;
    }
    Candidate candidate{i, {}, 0, languagesOf(info), strikeSize > 0 && hasStrike(info, strikeSize)};
    for (const MappedCode& code : codesToDraw(info.codes, ranges, drawn)) {
      ++candidate.fills[scriptOf(code.code)];
      ++candidate.total;
    }
    candidates.push_back(candidate);
  }
  return candidates;
}

// The mean height and width of a glyph's ink, and of the row its middle
// stands at above the baseline, over glyphs drawn at one size.
struct Inks {
  std::vector<InkBox> boxes;
  double height = 0;
  double width = 0;
  double middle = 0;
  bool fit = true;  // every one no taller and no wider than the area
};

Inks inksOf(Face* face, const std::vector<unsigned>& glyphs, const Area& area) {
  Inks inks;
  Bitmap bitmap;
  for (unsigned glyph : glyphs) {
    if (face->draw(glyph, &bitmap) != Drawn::kInk) {
      continue;
    }
    const InkBox ink = inkOf(bitmap);
    inks.boxes.push_back(ink);
    inks.height += ink.height;
    inks.width += ink.width;
    inks.middle += ink.top - ink.height / 2.0;
    inks.fit = inks.fit && fitsArea(ink, area);
  }
  if (!inks.boxes.empty()) {
    inks.height /= static_cast<double>(inks.boxes.size());
    inks.width /= static_cast<double>(inks.boxes.size());
    inks.middle /= static_cast<double>(inks.boxes.size());
  }
  return inks;
}

// The glyphs of both fonts that their sizes are matched on: the sample of a
// script that both map, spread over at most kMatchSample.
struct Shared {
  ScriptGroup script = kOtherScripts;
  std::vector<unsigned> first;
  std::vector<unsigned> fallback;
};

Shared sharedOf(const SizingScript& script, const FaceInfo& first, const FaceInfo& fallback) {
  Shared shared{script.group, {}, {}};
  for (std::size_t i = 0; i < script.sampleSize; ++i) {
    const unsigned a = glyphOf(first.codes, script.sample[i]);
    const unsigned b = glyphOf(fallback.codes, script.sample[i]);
    if (a != 0 && b != 0) {
      shared.first.push_back(a);
      shared.fallback.push_back(b);
    }
  }
  shared.first = spreadOf(shared.first, kMatchSample);
  shared.fallback = spreadOf(shared.fallback, kMatchSample);
  return shared;
}

// The script the sizes are matched on: of the first font's main scripts (and
// its Latin letters and digits), those of which both fonts map kMinMatched
// of the sample, the one of which the fallback draws most codes.
Shared matchedScript(const FaceInfo& first, const FaceInfo& fallback,
                     const std::vector<MappedCode>& codes) {
  std::vector<const SizingScript*> scripts = sizingScriptsOf(first.codes);
  if (std::none_of(scripts.begin(), scripts.end(),
                   [](const SizingScript* s) { return s->group == kLatin; })) {
    scripts.push_back(&latinScript());
  }
  long fills[kScriptGroups] = {};
  for (const MappedCode& code : codes) {
    ++fills[scriptOf(code.code)];
  }
  Shared best;
  for (const SizingScript* script : scripts) {
    Shared shared = sharedOf(*script, first, fallback);
    if (shared.first.size() >= kMinMatched &&
        (best.first.empty() || fills[shared.script] > fills[best.script])) {
      best = std::move(shared);
    }
  }
  return best;
}

// The size nearest in mean ink height to the first font's glyphs (`target`),
// from `start`; smaller, within kMatchTolerance, where some glyph would not
// fit the area or they are wider. 0 where the glyphs cannot be drawn.
int nearestSize(Face* face, const SizingRequest& sizing, const std::vector<unsigned>& glyphs,
                const Area& area, const Inks& target, int start) {
  const int largest = area.height + kSizesAboveArea;
  std::map<int, Inks> seen;
  const auto at = [&](int size) -> const Inks& {
    auto found = seen.find(size);
    if (found == seen.end()) {
      const bool set = face->setSize(size, sizing.rendering, sizing.threshold, true);
      found = seen.emplace(size, set ? inksOf(face, glyphs, area) : Inks{}).first;
    }
    return found->second;
  };
  const auto off = [&](int size) { return std::fabs(at(size).height - target.height); };
  const auto misfit = [&](int size) {
    return !at(size).fit || at(size).width > target.width + kMatchWidthSlack;
  };
  const auto drawable = [&](int size) {
    return size >= kMinSize && size <= largest && !at(size).boxes.empty();
  };
  int size = std::clamp(start, kMinSize, largest);
  // Heights grow with the size, a row at a few sizes: on towards the target
  // until one reaches or passes it, then that one or the one before,
  // whichever is nearer (the smaller where they are as near).
  const int step = at(size).height < target.height ? 1 : -1;
  while (drawable(size + step) &&
         (step > 0 ? at(size).height < target.height : at(size).height > target.height)) {
    size += step;
  }
  const int before = size - step;
  if (drawable(before) && (step > 0 ? off(before) <= off(size) : off(before) < off(size))) {
    size = before;
  }
  while (misfit(size) && size > kMinSize && !at(size - 1).boxes.empty() &&
         std::round(off(size - 1) * 10) <= kMatchTolerance * 10) {
    --size;
  }
  return at(size).boxes.empty() ? 0 : size;
}

// The shift of the fallback's baseline from the first font's at which most
// of its glyphs `inks` fit unmoved, then at which their middles stand nearest
// to the first font's (`firstMiddle`, rows above its baseline), then the
// smallest.
int baselineShift(const Inks& inks, double firstMiddle, int baselineRow, const Area& area) {
  int best = 0;
  long bestFits = -1;
  double bestGap = 0;
  for (int shift = -kMaxBaselineShift; shift <= kMaxBaselineShift; ++shift) {
    const int row = baselineRow + shift;
    if (row <= area.top || row > area.bottom()) {
      continue;
    }
    const long fits = fitAt(row, inks.boxes, area).fits;
    // Rows apart of the two middles, the fallback's `shift` rows lower.
    const double gap = std::fabs(inks.middle - shift - firstMiddle);
    const bool nearer =
        gap < bestGap - 1e-9 || (gap < bestGap + 1e-9 && std::abs(shift) < std::abs(best));
    if (fits > bestFits || (fits == bestFits && nearer)) {
      best = shift;
      bestFits = fits;
      bestGap = gap;
    }
  }
  return best;
}

// "12 and 14"
std::string sizesText(const std::vector<int>& sizes) {
  std::string text;
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == sizes.size() ? " and " : ", ") + std::to_string(sizes[i]);
  }
  return text;
}

// Matches the size (where it is not the strike's) and the baseline on the
// glyphs both fonts share; leaves them unmatched where either font draws
// none of them.
void matchOnShared(const FirstFont& first, Face* face, const Shared& shared,
                   const SizingRequest& sizing, int* size, SizeMatch* match) {
  const SizeChoice& firstChoice = *first.choice;
  first.face->setPlain(true);
  first.face->setSize(firstChoice.size, first.sizing->rendering, first.sizing->threshold,
                      !firstChoice.strike);
  const Inks firstInks = inksOf(first.face, shared.first, firstChoice.area);
  face->setPlain(true);
  if (firstInks.boxes.empty() ||
      (!match->strike && (*size = nearestSize(face, sizing, shared.fallback, firstChoice.area,
                                              firstInks, firstChoice.size)) == 0)) {
    return;
  }
  face->setSize(*size, sizing.rendering, sizing.threshold, !match->strike);
  const Inks inks = inksOf(face, shared.fallback, firstChoice.area);
  if (inks.boxes.empty()) {
    return;
  }
  match->script = shared.script;
  match->height = inks.height;
  match->firstHeight = firstInks.height;
  match->shift = baselineShift(inks, firstInks.middle, firstChoice.baselineRow, firstChoice.area);
}

}  // namespace

bool isWanted(const CodeRanges& ranges, std::uint32_t code) {
  return ranges.empty() || std::any_of(ranges.begin(), ranges.end(), [code](const auto& r) {
           return code >= r.first && code <= r.second;
         });
}

std::vector<MappedCode> codesToDraw(const std::vector<MappedCode>& codes, const CodeRanges& ranges,
                                    const std::vector<std::uint32_t>& drawn) {
  std::vector<MappedCode> out;
  for (const MappedCode& code : codes) {
    if (isWanted(ranges, code.code) && !std::binary_search(drawn.begin(), drawn.end(), code.code)) {
      out.push_back(code);
    }
  }
  return out;
}

Language languageOfCodes(const std::vector<MappedCode>& codes) {
  double shares[16] = {};
  for (const CommonSet& set : commonSets()) {
    shares[set.language] = std::max(shares[set.language], shareOf(set, codes));
  }
  Language best = kNoLanguage;
  for (Language language : {kJapanese, kKorean, kSimplifiedChinese, kTraditionalChinese}) {
    if (shares[language] > shares[best]) {
      best = language;
    }
  }
  for (Language other : {kJapanese, kKorean, kSimplifiedChinese, kTraditionalChinese}) {
    if (other != best && shares[best] < kLanguageLead * shares[other]) {
      return kNoLanguage;
    }
  }
  return best;
}

unsigned languagesOf(const FaceInfo& info) {
  static const struct {
    const char* word;
    Language language;
  } kWords[] = {{"JP", kJapanese},           {"KR", kKorean},
                {"SC", kSimplifiedChinese},  {"CN", kSimplifiedChinese},
                {"TC", kTraditionalChinese}, {"TW", kTraditionalChinese},
                {"HK", kTraditionalChinese}};
  unsigned languages = info.nameLanguages;
  const std::string& family = info.family;
  for (std::size_t at = 0; at < family.size();) {
    const std::size_t end = std::min(family.find(' ', at), family.size());
    for (const auto& entry : kWords) {
      if (family.compare(at, end - at, entry.word) == 0) {
        languages |= entry.language;
      }
    }
    at = end + 1;
  }
  return languages;
}

bool chooseFallbackFace(const FontData& data, const FaceList& list, const CodeRanges& ranges,
                        const std::vector<std::uint32_t>& drawn, Language language, int strikeSize,
                        FaceChoice* choice, std::string* error) {
  error->clear();
  const std::vector<Candidate> candidates =
      candidatesOf(data, list, ranges, drawn, strikeSize, &choice->capped, error);
  if (candidates.empty()) {
    *error = error->empty() ? "no face of " + data.path + " can be opened" : *error;
    return false;
  }
  // The main script: the one of which a face fills the most codes.
  long most = -1;
  for (int g = 0; g < kScriptGroups; ++g) {
    for (const Candidate& c : candidates) {
      if (c.fills[g] > most) {
        most = c.fills[g];
        choice->script = static_cast<ScriptGroup>(g);
      }
    }
  }
  const Language wanted = language != kNoLanguage ? language : languageOfScript(choice->script);
  const Candidate* best = nullptr;
  for (const Candidate& c : candidates) {
    if (static_cast<double>(c.fills[choice->script]) >=
            kFaceShareOfBest * static_cast<double>(most) &&
        (best == nullptr || betterFace(c, *best, choice->script, wanted))) {
      best = &c;
    }
  }
  choice->face = best->face;
  choice->language = (best->languages & wanted) != 0 ? wanted : kNoLanguage;
  choice->strike = best->strike && std::any_of(candidates.begin(), candidates.end(),
                                               [](const Candidate& c) { return !c.strike; });
  return true;
}

bool matchFallback(const FirstFont& first, Workers* workers, const FaceInfo& info,
                   const std::vector<MappedCode>& codes, SizingRequest* sizing, SizeChoice* choice,
                   SizeMatch* match, std::string* error) {
  Face* face = workers->first();
  const SizeChoice& firstChoice = *first.choice;
  const bool strikes = !info.scalable || sizing->rendering == Rendering::kAuto;
  match->strike = strikes && hasStrike(info, firstChoice.size);
  if (!info.scalable && !match->strike) {
    *error = "it has bitmaps of " + sizesText(info.strikes) + " pixels only, none of the " +
             std::to_string(firstChoice.size) + " pixels the first font is drawn at";
    return false;
  }
  // Away from the first font's size, the outlines, never another strike.
  if (!match->strike && sizing->rendering == Rendering::kAuto) {
    sizing->rendering = Rendering::kThin;
  }
  sizing->area = firstChoice.area.width;
  int size = match->strike ? firstChoice.size : 0;
  const Shared shared = matchedScript(*first.info, info, codes);
  if (!shared.first.empty()) {
    matchOnShared(first, face, shared, *sizing, &size, match);
  }
  sizing->size = size;
  if (!chooseSize(workers, info, *sizing, choice)) {
    *error = "it cannot be drawn at any size";
    return false;
  }
  sizing->size = 0;  // not asked for: its misfits are drawn smaller
  choice->onGrid =
      size != 0 && !match->strike && face->gridSize(shared.fallback, size, size) == size;
  choice->area = firstChoice.area;
  choice->filled = firstChoice.filled;
  choice->baselineRow = firstChoice.baselineRow + match->shift;
  return true;
}

void addDrawn(const ChainPart& part, std::vector<std::uint32_t>* drawn) {
  const std::size_t had = drawn->size();
  for (std::size_t i = 0; i < part.codes.size(); ++i) {
    if (!part.codes[i].alternative && isWritten(part.converted[i].outcome)) {
      drawn->push_back(part.codes[i].code);
    }
  }
  std::inplace_merge(drawn->begin(), drawn->begin() + static_cast<std::ptrdiff_t>(had),
                     drawn->end());
}

std::vector<Given> mergeChain(const std::vector<const ChainPart*>& parts) {
  // Each code's candidates, the one to take first: written at its own code,
  // then at another reading, then left out; by the font's place in the chain.
  struct Entry {
    std::uint32_t code;
    int rank;
    std::size_t font;
    std::size_t index;
  };
  std::vector<Entry> entries;
  for (std::size_t f = 0; f < parts.size(); ++f) {
    const ChainPart& part = *parts[f];
    for (std::size_t i = 0; i < part.codes.size(); ++i) {
      const int rank = !isWritten(part.converted[i].outcome) ? 2
                       : part.codes[i].alternative           ? 1
                                                             : 0;
      entries.push_back({part.codes[i].code, rank, f, i});
    }
  }
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return a.code != b.code   ? a.code < b.code
           : a.rank != b.rank ? a.rank < b.rank
                              : a.font < b.font;
  });
  std::vector<Given> given;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (i == 0 || entries[i].code != entries[i - 1].code) {
      given.push_back({parts[entries[i].font]->converted[entries[i].index], entries[i].font});
    }
  }
  return given;
}
