// The largest input fontgraft meets: a font of all 65,536 glyph IDs, each a
// full 16 x 14 box of four-digit rows, a code map that gives codes 1 to 0xFFFF
// to the glyphs in a shuffled order, and a blank image of full size. Every
// byte follows from the functions below, so a test can work out what the
// image must hold without reading the files back.
#ifndef FONTGRAFT_BENCH_WORST_CASE_H
#define FONTGRAFT_BENCH_WORST_CASE_H

#include <cstdint>
#include <string>

namespace worst_case {

constexpr int kGlyphs = 65536;
constexpr int kRows = 14;  // rows per glyph, each four hex digits
constexpr long kImageSize = 0x34C928L + 65536L * 32;

// Row `row` (0 = top) of glyph `glyph`'s bitmap.
std::uint16_t glyphRow(int glyph, int row);

// Glyph index that the code map gives to character code `code` (1..0xFFFF).
// Every glyph index but one is given exactly one code.
int glyphOfCode(int code);

// Paths of the three files inside `dir`.
std::string fontPath(const std::string& dir);
std::string cmapPath(const std::string& dir);
std::string imagePath(const std::string& dir);

// Writes the font, the code map and the blank image into `dir`, which must
// exist. Returns false when a file cannot be written.
bool write(const std::string& dir);

}  // namespace worst_case

#endif
