// The code map: glyph IDs to 16-bit character codes, read from a text dump of
// a font's character-to-glyph table.
//
// The dump holds encoding lines with "Specific ID:" after 15 characters of
// indentation and mapping lines with "Char <hex code> -> Index <decimal glyph
// index>" after 8. The first encoding line whose ID is 1 opens the mapping
// section, which runs to the end of the file.
#ifndef FONTGRAFT_READERS_CMAP_H
#define FONTGRAFT_READERS_CMAP_H

#include <cstdint>

// What one mapping line yields: the glyph index (low 16 bits of the decimal
// number) and the character code.
struct CmapEntry {
  std::uint16_t glyph;
  std::uint16_t code;
};

// Number of mapping lines taken from the code map file; 0 until one is read.
extern long long cmapsize;

// What a code map holds beyond its lookups, for the checker: whether the line
// that opens the mapping section was found, how many lines before it read as
// mapping lines (and were passed over), and, when `cmaplistener` is set, every
// mapping line taken, in file order. Set by readCmap.
extern bool cmapopened;
extern long long cmapskipped;
extern void (*cmaplistener)(const CmapEntry& entry);

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
