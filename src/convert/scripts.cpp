#include "convert/scripts.h"

#include <algorithm>

namespace {

#include "convert/common_chars.inc"

template <std::size_t N>
constexpr SizingScript script(ScriptGroup group, std::uint32_t first, std::uint32_t last,
                              long minimum, const std::uint16_t (&sample)[N]) {
  return {group, first, last, minimum, sample, N};
}

// The scripts that may size a font, and how many codes make a font have one.
const SizingScript kSizingScripts[] = {
    script(kIdeographs, 0x4E00, 0x9FFF, 1000, kCommonIdeographs),
    script(kHangul, 0xAC00, 0xD7A3, 1000, kCommonHangul),
    script(kKana, 0x3040, 0x30FF, 80, kCommonKana),
};
// Sizes a font that has none of the above; the letters and digits are all
// that it needs to map.
const SizingScript kLatinScript = script(kLatin, 0x30, 0x7A, 1, kCommonLatin);

long countIn(const std::vector<MappedCode>& codes, std::uint32_t first, std::uint32_t last) {
  const auto from =
      std::lower_bound(codes.begin(), codes.end(), first,
                       [](const MappedCode& c, std::uint32_t v) { return c.code < v; });
  const auto to = std::upper_bound(codes.begin(), codes.end(), last,
                                   [](std::uint32_t v, const MappedCode& c) { return v < c.code; });
  return static_cast<long>(to - from);
}

bool mapsLatin(const std::vector<MappedCode>& codes) {
  return countIn(codes, 'A', 'Z') + countIn(codes, 'a', 'z') + countIn(codes, '0', '9') > 0;
}

}  // namespace

const char* scriptName(ScriptGroup group) {
  static const char* const kNames[] = {"ideographs", "Hangul", "kana", "Latin", "other"};
  return kNames[group];
}

ScriptGroup scriptOf(std::uint32_t code) {
  if ((code >= 0x3400 && code <= 0x4DBF) || (code >= 0x4E00 && code <= 0x9FFF) ||
      (code >= 0xF900 && code <= 0xFAFF)) {
    return kIdeographs;
  }
  if ((code >= 0xAC00 && code <= 0xD7AF) || (code >= 0x1100 && code <= 0x11FF) ||
      (code >= 0x3130 && code <= 0x318F) || (code >= 0xA960 && code <= 0xA97F) ||
      (code >= 0xD7B0 && code <= 0xD7FF)) {
    return kHangul;
  }
  if ((code >= 0x3040 && code <= 0x30FF) || (code >= 0x31F0 && code <= 0x31FF) ||
      (code >= 0xFF66 && code <= 0xFF9F)) {
    return kKana;
  }
  if (code <= 0x024F || (code >= 0x1E00 && code <= 0x1EFF)) {
    return kLatin;
  }
  return kOtherScripts;
}

const SizingScript& latinScript() {
  return kLatinScript;
}

bool isOfGroups(const std::vector<ScriptGroup>& groups, std::uint32_t code) {
  return std::find(groups.begin(), groups.end(), scriptOf(code)) != groups.end();
}

std::vector<const SizingScript*> sizingScriptsOf(const std::vector<MappedCode>& codes) {
  std::vector<const SizingScript*> scripts;
  for (const SizingScript& s : kSizingScripts) {
    if (countIn(codes, s.first, s.last) >= s.minimum) {
      scripts.push_back(&s);
    }
  }
  if (scripts.empty() && mapsLatin(codes)) {
    scripts.push_back(&kLatinScript);
  }
  return scripts;
}

std::string scriptsCovered(const std::vector<MappedCode>& codes) {
  std::string names;
  for (const SizingScript* s : sizingScriptsOf(codes)) {
    names += (names.empty() ? "" : ", ") + std::string(scriptName(s->group));
  }
  if (!names.empty() && names.find("Latin") == std::string::npos && mapsLatin(codes)) {
    names += ", Latin";
  }
  return names.empty() ? "none" : names;
}
