// The scripts by which a font is sized and its glyphs are counted, and the
// fixed samples of their common characters.
#ifndef FONTGRAFT_CONVERT_SCRIPTS_H
#define FONTGRAFT_CONVERT_SCRIPTS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "convert/face.h"

// The groups the summary counts glyphs in.
enum ScriptGroup { kIdeographs, kHangul, kKana, kLatin, kOtherScripts, kScriptGroups };

const char* scriptName(ScriptGroup group);  // "ideographs"

ScriptGroup scriptOf(std::uint32_t code);

// Whether `code` is of one of `groups`.
bool isOfGroups(const std::vector<ScriptGroup>& groups, std::uint32_t code);

// A script that may set a font's size: a font maps it when it maps at least
// `minimum` codes from `first` to `last`; its size is then judged on the
// characters of `sample` that the font maps.
struct SizingScript {
  ScriptGroup group;
  std::uint32_t first;
  std::uint32_t last;
  long minimum;
  const std::uint16_t* sample;
  std::size_t sampleSize;
};

// The share of a script's sample that may stand over the area at the size
// chosen: none, so that no common character of a main script is drawn
// smaller than its neighbours.
constexpr double kMaxShareOver = 0;

// The scripts that size a font with these codes (the whole font's, whatever
// part of it is converted): ideographs, Hangul and kana where it has enough
// of them, else Latin letters and digits; none when it has none of these
// either (then an even sample of all its codes sizes it).
std::vector<const SizingScript*> sizingScriptsOf(const std::vector<MappedCode>& codes);

// The Latin letters and digits as a sizing script, which sizes a font that
// has none of the others, and matches the Latin of two fonts.
const SizingScript& latinScript();

// The scripts a font has, by the rule above, named: "ideographs, Hangul,
// kana, Latin"; "none" when it has none.
std::string scriptsCovered(const std::vector<MappedCode>& codes);

#endif
