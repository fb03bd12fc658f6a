// The languages whose ideographs are drawn apart: Japanese kanji, Korean
// hanja, simplified and traditional hanzi. A collection such as Noto Sans CJK
// gives each a face of its own, whose glyphs of one code differ.
#ifndef FONTGRAFT_CONVERT_LANGUAGES_H
#define FONTGRAFT_CONVERT_LANGUAGES_H

// Bits of a set of languages.
enum Language : unsigned {
  kNoLanguage = 0,
  kJapanese = 1,
  kKorean = 2,
  kSimplifiedChinese = 4,
  kTraditionalChinese = 8,
};

// "simplified Chinese"; "" for none.
inline const char* languageName(Language language) {
  switch (language) {
    case kJapanese:
      return "Japanese";
    case kKorean:
      return "Korean";
    case kSimplifiedChinese:
      return "simplified Chinese";
    case kTraditionalChinese:
      return "traditional Chinese";
    default:
      return "";
  }
}

#endif
