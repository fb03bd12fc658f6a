// The code map: glyph IDs to 16-bit character codes, read from a text dump of
// a font's character-to-glyph table.
//
// The dump holds encoding lines with "Specific ID:" after 15 characters of
// indentation and mapping lines with "Char <hex code> -> Index <decimal glyph
// index>" after 8. The first encoding line whose ID is 1 opens the mapping
// section, which runs to the end of the file.
//
// A code map's state is a CmapReader: its table, what the file held beyond
// it, and, for the checker, a listener that hears every line it takes or
// passes over, with its number. The utility reads its one map through the
// functions at the end, over a reader in static storage.
#ifndef FONTGRAFT_READERS_CMAP_H
#define FONTGRAFT_READERS_CMAP_H

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "common/textfile.h"

// What one mapping line yields: the glyph index (low 16 bits of the decimal
// number) and the character code.
struct CmapEntry {
  std::uint16_t glyph;
  std::uint16_t code;
};

// What a listener hears while a code map is read. Any function may be null.
struct CmapListener {
  void* context = nullptr;
  // A mapping line of the mapping section, the `number`-th line of the file.
  void (*mapping)(void* context, const CmapEntry& entry, long number) = nullptr;
  // A line of the mapping section that is not read as a mapping line though
  // it looks like one (it holds "Char" or "->"): the map passes it over.
  void (*passedOver)(void* context, Line line, long number) = nullptr;
};

constexpr std::size_t kGlyphIndexes = 65536;

struct CmapReader {
  LineSource source;
  const CmapListener* listener;
  // The map, indexed by glyph index so that a lookup takes constant time. The
  // first mapping line in file order claims an index and sets its code; later
  // lines for the same index are passed over.
  std::uint16_t codes[kGlyphIndexes];
  std::bitset<kGlyphIndexes> claimed;
  long long size;     // mapping lines taken
  bool opened;        // the line that opens the mapping section was found
  long long skipped;  // lines before it that read as mapping lines, passed over
  bool wide;          // the file looks like UTF-16 text, which holds no line the reader reads
};

// Empties the map: every lookup then yields 0.
void clearCodeMap(CmapReader* reader);

// Fills the map from `file`, after emptying it; `listener` may be null.
// Returns false when reading the file fails midway, with the map empty.
bool readCodeMap(CmapReader* reader, std::FILE* file, const CmapListener* listener);

// Character code of the first mapping line, in file order, whose glyph index
// equals the low 16 bits of `glyphId`; 0 when there is none.
inline std::uint16_t codeOf(const CmapReader& reader, int glyphId) {
  return reader.codes[static_cast<unsigned>(glyphId) & 0xFFFFu];
}

// The utility's code map.

// Number of mapping lines taken from the code map file; 0 until one is read.
extern long long cmapsize;

// Fills the code map from the file at `path`. Returns 1, also when the file
// holds no mapping line. When the file cannot be opened, prints
// "CMAP file <path> open failed." and returns 0, leaving the map as it was.
// When reading the file fails midway, returns 0 with the map empty.
int readCmap(const char* path);

// Character code of the first mapping line, in file order, whose glyph index
// equals the low 16 bits of `glyphId`; 0 when there is none.
std::uint16_t getCharCode(int glyphId);

// Empties the code map: every lookup then yields 0.
void clearCmap();

#endif
