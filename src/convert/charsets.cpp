#include "convert/charsets.h"

#include <algorithm>
#include <cstring>

namespace {

#ifdef FONTGRAFT_CHARSET_TABLES
#include "charset_tables.inc"
constexpr const CharsetTable* kTables = kCharsetTableList;
constexpr std::size_t kTableCount = sizeof kCharsetTableList / sizeof kCharsetTableList[0];
#else
constexpr const CharsetTable* kTables = nullptr;
constexpr std::size_t kTableCount = 0;
#endif

// Charsets read without a table, and their largest codes.
struct Plain {
  const char* name;
  std::uint32_t last;
};
constexpr Plain kPlain[] = {
    {"iso10646-1", 0x10FFFF}, {"iso8859-1", 0xFF}, {"iso646.1991-irv", 0x7F},  // ASCII
};

// Names fonts give to charsets of X.Org's tables that X.Org's files do not
// list: xfonts-intl-chinese's GB 2312 font names GB 8565.88, which adds rows
// the GB 2312 table leaves undefined.
constexpr const char* kMoreAliases[][2] = {
    {"gb2312.80&gb8565.88-0", "gb2312.1980-0"},
    {"gb2312.80-0", "gb2312.1980-0"},
};

// Charsets refused although a table could be found for them.
constexpr const char* kRefused[][2] = {
    {"jisc6226.1978", "whose code order differs from the tables of 1983 and after"},
    {"cns11643", "whose tables disagree with one another on thousands of codes"},
};

// The codes whose well-known readings disagree, X.Org's among them.
struct Disagreement {
  const char* table;
  std::uint16_t code;
  std::uint32_t readings[2];
};
constexpr Disagreement kDisagreements[] = {
    // X.Org's (as JIS's own table), then Windows code page 932's.
    {"jisx0208.1990-0", 0x2141, {0x301C, 0xFF5E}},  // WAVE DASH, FULLWIDTH TILDE
    {"jisx0208.1990-0", 0x2142, {0x2016, 0x2225}},  // DOUBLE VERTICAL LINE, PARALLEL TO
    {"jisx0208.1990-0", 0x215D, {0x2212, 0xFF0D}},  // MINUS SIGN, FULLWIDTH HYPHEN-MINUS
    {"jisx0208.1990-0", 0x2171, {0x00A2, 0xFFE0}},  // CENT SIGN, FULLWIDTH CENT SIGN
    {"jisx0208.1990-0", 0x2172, {0x00A3, 0xFFE1}},  // POUND SIGN, FULLWIDTH POUND SIGN
    {"jisx0208.1990-0", 0x224C, {0x00AC, 0xFFE2}},  // NOT SIGN, FULLWIDTH NOT SIGN
    // X.Org's (as GBK's and GB 18030's), then Unicode's GB2312.TXT.
    {"gb2312.1980-0", 0x2124, {0x00B7, 0x30FB}},  // MIDDLE DOT, KATAKANA MIDDLE DOT
    {"gb2312.1980-0", 0x212A, {0x2014, 0x2015}},  // EM DASH, HORIZONTAL BAR
};

// The common sets: the codes `first` to `last` of a table that it defines.
struct CommonRule {
  const char* name;
  Language language;
  const char* table;
  std::uint16_t first;
  std::uint16_t last;
};
constexpr CommonRule kCommonRules[] = {
    {"GB 2312 level 1", kSimplifiedChinese, "gb2312.1980-0", 0x3021, 0x577E},  // rows 16-55
    {"JIS X 0208 level 1", kJapanese, "jisx0208.1990-0", 0x3021, 0x4F7E},      // rows 16-47
    {"JIS X 0208 level 2", kJapanese, "jisx0208.1990-0", 0x5021, 0x747E},      // rows 48-84
    {"KS X 1001 Hangul", kKorean, "ksc5601.1987-0", 0x3021, 0x487E},           // rows 16-40
    {"Big5 common", kTraditionalChinese, "big5.eten-0", 0xA440, 0xC67E},
};

std::string lowered(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return text;
}

std::string raised(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return text;
}

const CharsetTable* tableNamed(const std::string& name) {
  for (std::size_t i = 0; i < kTableCount; ++i) {
    if (name == kTables[i].name) {
      return &kTables[i];
    }
    for (const char* const* alias = kTables[i].aliases; *alias != nullptr; ++alias) {
      if (name == *alias) {
        return &kTables[i];
      }
    }
  }
  for (const auto& alias : kMoreAliases) {
    if (name == alias[0]) {
      return tableNamed(alias[1]);
    }
  }
  return nullptr;
}

}  // namespace

CharsetTables charsetTables() {
  return {kTables, kTableCount};
}

bool findCharset(const std::string& named, Charset* charset, std::string* reason) {
  charset->name = named;
  charset->table = nullptr;
  const std::string name = lowered(named);
  for (const auto& refused : kRefused) {
    if (name.compare(0, std::strlen(refused[0]), refused[0]) == 0) {
      *reason = refused[1];
      return false;
    }
  }
  if (name.compare(0, 9, "iso10646-") == 0 || name == "iso10646") {
    charset->last = kPlain[0].last;
    return true;
  }
  for (const Plain& plain : kPlain) {
    if (name == plain.name) {
      charset->last = plain.last;
      return true;
    }
  }
  charset->table = tableNamed(name);
  if (charset->table == nullptr) {
    *reason = kTableCount == 0 ? "not Unicode, and this build has no legacy charset tables"
                               : "for which there is no table";
    return false;
  }
  return true;
}

std::string understoodCharsets() {
  std::string names;
  const auto add = [&names](const std::string& name) {
    names += (names.empty() ? "" : ", ") + raised(name);
  };
  for (const Plain& plain : kPlain) {
    add(plain.name);
  }
  for (std::size_t i = 0; i < kTableCount; ++i) {
    add(kTables[i].name);
    for (const char* const* alias = kTables[i].aliases; *alias != nullptr; ++alias) {
      add(*alias);
    }
  }
  return names;
}

std::uint32_t unicodeOf(const Charset& charset, std::uint32_t code) {
  if (charset.table == nullptr) {
    return code <= charset.last ? code : 0;
  }
  const CharsetRun* begin = charset.table->runs;
  const CharsetRun* end = begin + charset.table->runCount;
  // The last run that starts at or before the code.
  const CharsetRun* run = std::upper_bound(
      begin, end, code, [](std::uint32_t c, const CharsetRun& r) { return c < r.code; });
  if (run == begin) {
    return 0;
  }
  --run;
  return code - run->code < run->count ? run->unicode + (code - run->code) : 0;
}

std::vector<OtherReading> otherReadings(const Charset& charset) {
  std::vector<OtherReading> readings;
  if (charset.table == nullptr) {
    return readings;
  }
  for (const Disagreement& d : kDisagreements) {
    if (std::strcmp(d.table, charset.table->name) != 0) {
      continue;
    }
    const std::uint32_t unicode = unicodeOf(charset, d.code);
    // Only where the table read is one of the two readings.
    for (int i = 0; i < 2; ++i) {
      if (unicode == d.readings[i]) {
        readings.push_back({unicode, d.readings[1 - i]});
      }
    }
  }
  return readings;
}

std::vector<CommonSet> commonSets() {
  std::vector<CommonSet> sets;
  for (const CommonRule& rule : kCommonRules) {
    const CharsetTable* table = tableNamed(rule.table);
    if (table == nullptr) {
      continue;
    }
    CommonSet set{rule.name, rule.language, {}};
    for (std::size_t i = 0; i < table->runCount; ++i) {
      const CharsetRun& run = table->runs[i];
      for (std::uint32_t k = 0; k < run.count; ++k) {
        if (run.code + k >= rule.first && run.code + k <= rule.last) {
          set.codes.push_back(run.unicode + k);
        }
      }
    }
    std::sort(set.codes.begin(), set.codes.end());
    set.codes.erase(std::unique(set.codes.begin(), set.codes.end()), set.codes.end());
    sets.push_back(std::move(set));
  }
  return sets;
}
