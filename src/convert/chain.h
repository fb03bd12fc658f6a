// One font completed by others (--fallback): the fonts of a conversion in
// order of preference, each drawing only the codes that the fonts before it
// do not draw, at the size at which its glyphs of the script they share are
// as tall as the first font's, in the first font's area and on its baseline,
// so that the glyphs of all of them read as one font.
#ifndef FONTGRAFT_CONVERT_CHAIN_H
#define FONTGRAFT_CONVERT_CHAIN_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "convert/drawing.h"
#include "convert/face.h"
#include "convert/languages.h"
#include "convert/scripts.h"
#include "convert/sizing.h"
#include "convert/workers.h"

// The fallback fonts a conversion takes at most.
constexpr std::size_t kMaxFallbacks = 16;

// A fallback collection's face is chosen among its first kMaxFacesCompared
// different fonts (Noto Sans CJK holds 10), so that a hostile collection
// costs a bounded time; any face opens by number.
constexpr int kMaxFacesCompared = 64;

// Of the faces that fill at least this share of the most codes of the main
// script that any face fills, the one for the chain's language is taken:
// faces for other languages differ by some thousands of codes at most (AR PL
// UMing HK has 11 % more than CN), a face for another script has next to
// none of them.
constexpr double kFaceShareOfBest = 0.5;

// A font's ideographs are taken for one language's when it has this many
// times the share of that language's common set that it has of any other's
// (a JIS font has all of JIS X 0208 level 1 and 82 % of Big5's common set).
constexpr double kLanguageLead = 1.1;

// The sizes of a fallback are matched on at most this many glyphs of the
// script the two fonts share, and only where it has at least kMinMatched.
constexpr std::size_t kMatchSample = 256;
constexpr std::size_t kMinMatched = 4;

// A fallback is drawn smaller than the size nearest the first font's ink
// height, so that every glyph of the sample fits the area and they are on
// average at most kMatchWidthSlack columns wider than the first font's, only
// while they stay within kMatchTolerance rows as tall.
constexpr double kMatchTolerance = 1.0;
constexpr double kMatchWidthSlack = 0.5;

// A fallback's baseline stands at most this many rows from the first font's:
// moved so that its glyphs of the matched script stand in the rows that the
// first font's take (the fonts' ideographs stand otherwise on their baselines).
constexpr int kMaxBaselineShift = 2;

using CodeRanges = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

// Whether `code` is asked for: in one of `ranges`, or any where there are none.
bool isWanted(const CodeRanges& ranges, std::uint32_t code);

// The codes of `codes` to draw: asked for, and none of `drawn` (in order).
std::vector<MappedCode> codesToDraw(const std::vector<MappedCode>& codes, const CodeRanges& ranges,
                                    const std::vector<std::uint32_t>& drawn);

// The language a font's ideographs are for, by its codes: that of the common
// set it has the largest share of, where that share leads every other
// language's by kLanguageLead; none otherwise (a font of every CJK set).
Language languageOfCodes(const std::vector<MappedCode>& codes);

// The languages a face is for: those its names are given in, and the one its
// family name names by a word ("Noto Sans CJK SC", "AR PL UMing TW").
unsigned languagesOf(const FaceInfo& info);

// How a fallback collection's face was chosen.
struct FaceChoice {
  int face = 0;
  ScriptGroup script = kOtherScripts;  // the main script of the codes it fills
  Language language = kNoLanguage;     // the language it is for, where it was chosen by it
  bool strike = false;                 // chosen for its bitmaps of the first font's size
  bool capped = false;                 // more fonts than kMaxFacesCompared: the first compared
};

// Chooses the face of a collection (`list`) to fill the codes the fonts
// before it lack (asked for by `ranges`, not among `drawn`): of the faces that
// fill enough codes of the main script of those codes (see
// kFaceShareOfBest), the one for `language` (or, without one, the language of
// a main script of Hangul or kana), then one with bitmaps of `strikeSize`
// pixels (the first font's, where strikes may be drawn; else 0), then the one
// for fewest languages, then the one that fills most, then the first. False
// where none can be opened.
bool chooseFallbackFace(const FontData& data, const FaceList& list, const CodeRanges& ranges,
                        const std::vector<std::uint32_t>& drawn, Language language, int strikeSize,
                        FaceChoice* choice, std::string* error);

// The first font of the chain as it is drawn, for its fallbacks to match.
struct FirstFont {
  Face* face;
  const FaceInfo* info;
  const SizingRequest* sizing;
  const SizeChoice* choice;
};

// How a fallback's size was matched to the first font's.
struct SizeMatch {
  ScriptGroup script = kOtherScripts;  // matched on; kOtherScripts: on none they share
  bool strike = false;                 // its bitmaps of the first font's size
  double height = 0;                   // mean ink height of its glyphs of `script`, in rows
  double firstHeight = 0;              // and of the first font's
  int shift = 0;                       // rows its baseline stands below the first font's
};

// The size, drawing, area and baseline of a fallback (the face of
// `workers`, opened as `info`) that is to draw `codes` beside the first font. A fallback with
// bitmaps of the first font's size is drawn from them (by --render auto);
// otherwise from its outlines, at the size at which its glyphs of the script
// the two fonts share (of the first font's main scripts, the one of which it
// draws most) are as tall on average as the first font's, smaller while they
// stay within kMatchTolerance where some of them would not fit the area or
// they are wider (others are drawn smaller to fit, one by one), or, where
// they share none,
// at the largest size at which its own main scripts fit. Its area is the
// first font's, its baseline the first font's moved as kMaxBaselineShift
// says. `sizing` comes with the rendering and threshold asked for and
// receives those it is drawn with. False where it cannot be drawn beside the
// first font: a bitmap font without bitmaps of its size.
bool matchFallback(const FirstFont& first, Workers* workers, const FaceInfo& info,
                   const std::vector<MappedCode>& codes, SizingRequest* sizing, SizeChoice* choice,
                   SizeMatch* match, std::string* error);

// What one font of the chain drew: each of its codes to draw and what became
// of it.
struct ChainPart {
  std::vector<MappedCode> codes;
  std::vector<Converted> converted;
};

// Adds to `drawn` (in order) the codes of `part` written at their own codes,
// not at another table's reading: no later font fills them.
void addDrawn(const ChainPart& part, std::vector<std::uint32_t>* drawn);

// A code of the chain and the font it comes from.
struct Given {
  Converted converted;
  std::size_t font;
};

// Every code of the chain's parts once, in order: from the first font that
// writes it at its own code, else from the first that writes it at another
// table's reading, else, left out, as the first font that has it left it.
std::vector<Given> mergeChain(const std::vector<const ChainPart*>& parts);

#endif
