// A plain model of the utility for the fuzz targets to check against: the C
// library's fgets and sscanf, linear scans, one pixel at a time. It shares no
// code with the utility.
#ifndef FONTGRAFT_FUZZ_REFERENCE_H
#define FONTGRAFT_FUZZ_REFERENCE_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace reference {

struct Glyph {
  int rows;
  bool hasId;
  int id;
  int cell[16];
};

struct Mapping {
  std::uint16_t glyph;
  std::uint16_t code;
};

// Every glyph of the font, in order.
std::vector<Glyph> readFont(const std::string& font);

// Every mapping line of the code map file, in order.
std::vector<Mapping> readCmap(const std::string& text);

// Code of the first mapping whose glyph index is the low 16 bits of `id`.
std::uint16_t lookup(const std::vector<Mapping>& map, int id);

// The 32-byte record of a cell.
std::string pack(const int cell[16]);

// What a run prints and which records it puts where (slot address to record,
// the last record for a slot winning), given the glyphs and the code map.
struct Install {
  std::string out;
  std::map<std::uint32_t, std::string> records;
};
Install install(const std::vector<Glyph>& glyphs, const std::vector<Mapping>& map);

}  // namespace reference

#endif
