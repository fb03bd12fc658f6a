// Writing the utility's two inputs from glyph cells: a BDF font of one glyph
// per character code, named "glyphID:XXXX" with the code's own number, and the
// code map that gives each code that number. Installed, each glyph lands in
// its slot exactly as its cell shows it.
#ifndef FONTGRAFT_COMMON_FONTFILES_H
#define FONTGRAFT_COMMON_FONTFILES_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/textfile.h"

// A glyph as it will stand in its slot: its 16 x 16 cell (row 0 at the top,
// bit 15 of a row the leftmost pixel) and its advance width in pixels.
struct CellGlyph {
  std::uint16_t code;
  std::uint16_t rows[16];
  int advance;
};

// What the font says of itself. `baselineRow` is the first cell row below the
// baseline: rows above it are the ascent, the rest the descent.
struct FontHeader {
  std::string family;  // for the FONT name; blanks, '-' and control characters become '_'
  int pixelSize;
  int baselineRow;
};

// What a code map maps, as the utility reads it: a digest of every mapping
// (code and glyph index) in file order, and their number. The font is written
// with the digest of the code map written beside it, so that a font and a
// code map that were not written together are told apart whatever their line
// ends.
struct MapDigest {
  std::uint64_t hash = 0xcbf29ce484222325u;  // FNV-1a, 64 bits
  long long count = 0;
  void add(std::uint16_t code, std::uint16_t glyph);
  bool operator==(const MapDigest& other) const {
    return hash == other.hash && count == other.count;
  }
};

// The COMMENT line that carries a code map's digest in a font.
std::string digestComment(const MapDigest& digest);

// Reads such a line: true, with the digest, when `line` is one.
bool readDigestComment(Line line, MapDigest* digest);

// Writes the font. Each glyph's box is the ink of its cell, placed so that the
// utility puts every pixel back where the cell has it; a blank cell is a glyph
// with no rows. Returns false when writing fails.
bool writeBdfFont(std::FILE* file, const FontHeader& header, const std::vector<CellGlyph>& glyphs);

// Writes the code map: one mapping section (specific ID 1) that maps each
// glyph's code to the glyph of the same number.
bool writeCodeMapFile(std::FILE* file, const std::vector<CellGlyph>& glyphs);

// The same files written from their glyphs' lines made apart (on several
// threads): bdfGlyphLines gives the lines of `count` glyphs from `glyphs`
// as the font of `header` has them, STARTCHAR to ENDCHAR, and codeMapLines
// their mappings; writeBdfLines and writeCodeMapLines write the files whose
// glyphs are `glyphs` and whose lines are the pieces of `lines`, in order.
std::string bdfGlyphLines(const FontHeader& header, const CellGlyph* glyphs, std::size_t count);
std::string codeMapLines(const CellGlyph* glyphs, std::size_t count);
bool writeBdfLines(std::FILE* file, const FontHeader& header, const std::vector<CellGlyph>& glyphs,
                   const std::vector<std::string>& lines);
bool writeCodeMapLines(std::FILE* file, const std::vector<std::string>& lines);

#endif
