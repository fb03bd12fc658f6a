// The charsets of bitmap fonts (BDF, PCF) and how their codes become Unicode:
// through X.Org's encoding tables, compiled in at build time from Debian's
// xfonts-encodings by tools/make_charset_tables.py, or as they stand for
// ISO 10646, ISO 8859-1 and ASCII. Also the common character sets by
// language that a face's coverage is counted on, taken from the same tables.
#ifndef FONTGRAFT_CONVERT_CHARSETS_H
#define FONTGRAFT_CONVERT_CHARSETS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "convert/languages.h"

// Codes `code` to `code + count - 1` of a charset are Unicode's `unicode` to
// `unicode + count - 1`.
struct CharsetRun {
  std::uint16_t code;
  std::uint16_t count;
  std::uint32_t unicode;
};

// One of X.Org's tables: every code of the charset that it defines, in runs in
// the order of the codes. A code of no run is undefined.
struct CharsetTable {
  const char* name;            // X.Org's, "jisx0208.1990-0"
  const char* const* aliases;  // X.Org's other names for it, ending in nullptr
  const CharsetRun* runs;
  std::size_t runCount;
};

// The tables compiled in: none where the build found no encoding files.
struct CharsetTables {
  const CharsetTable* tables;
  std::size_t count;
};
CharsetTables charsetTables();

// How a font's codes are read.
struct Charset {
  std::string name;                     // as the font names it, "JISX0208.1983-0"
  const CharsetTable* table = nullptr;  // nullptr: the codes are Unicode's, up to `last`
  std::uint32_t last = 0x10FFFF;        // without a table, its largest code (0x7F: ASCII)
};

// Finds how to read the charset `name`, its registry and encoding
// ("JISX0208.1983-0", in any case). False, with the reason in `reason` ("for
// which there is no table"), where it has no table or its tables cannot be
// trusted.
bool findCharset(const std::string& name, Charset* charset, std::string* reason);

// The charsets understood, for a refusal: "ISO10646-1, ISO8859-1, ..., BIG5-0".
std::string understoodCharsets();

// The Unicode code of a font's `code`, or 0 where the table leaves it
// undefined or the charset has no such code.
std::uint32_t unicodeOf(const Charset& charset, std::uint32_t code);

// A code that other well-known tables read otherwise than X.Org's: its glyph
// belongs at `unicode` (X.Org's reading) and also at `other` (the Windows code
// page's, or Unicode's own table's), where the font gives `other` nothing.
struct OtherReading {
  std::uint32_t unicode;
  std::uint32_t other;
};
std::vector<OtherReading> otherReadings(const Charset& charset);

// A common character set of one language, "GB 2312 level 1": its Unicode
// codes, in order.
struct CommonSet {
  const char* name;
  Language language;
  std::vector<std::uint32_t> codes;
};

// GB 2312 level 1, JIS X 0208 levels 1 and 2, KS X 1001 Hangul and Big5's
// common characters, from the tables (those whose table is missing left out).
std::vector<CommonSet> commonSets();

#endif
